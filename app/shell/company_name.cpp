#include "company_name.h"

#include "dao/dao.h"

runtime::Variant companyNameFromDatabase(const std::string& databasePath) {
    dao::Database db = dao::engine().OpenDatabase(databasePath, false, true);
    dao::Recordset rs = db.OpenRecordset("CompanyInfo", dao::dbOpenSnapshot);
    runtime::Variant name = rs.atEOF() ? runtime::Variant::null() : rs["CompanyName"];
    rs.Close();
    db.Close();
    return name;
}
