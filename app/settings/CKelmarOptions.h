#pragma once
// The options this program shares with the other programs of the suite, kept in the per-user
// settings store under the application name "Kelmar": where the databases are, the administrative
// and the remembered login, the schedule path, the report templates and saved column widths.
#include "runtime/variant.h"

#include <cstdint>
#include <functional>
#include <string>

// A grid's column collection, as far as the saved column widths need it.
class GridColumns {
public:
    virtual ~GridColumns() = default;
    virtual int count() const = 0;
    virtual bool visible(int index) const = 0;
    virtual std::string caption(int index) const = 0;
    virtual double width(int index) const = 0;
    virtual void setWidth(int index, double width) = 0;
};

class CKelmarOptions {
public:
    // Reads the field "CompanyName" of the first record of the table "CompanyInfo" in the database
    // at the given path (Null when the field is Null); the data-access layer's errors pass through.
    using CompanyNameReader = std::function<runtime::Variant(const std::string& databasePath)>;

    // `programDirectory` is the program's own folder, where the report templates are by default.
    explicit CKelmarOptions(std::string programDirectory, CompanyNameReader readCompanyName = {});

    void ReportFilename(std::int32_t Selector, const std::string& FileName);
    std::string ReportFilename(std::int32_t Selector) const;
    void SaveColumnWidths(const std::string& Section, const GridColumns& Cols) const;
    void GetColumnWidths(const std::string& Section, GridColumns& Cols) const;
    void SaveLoginCredentials() const;

    // The remembered login: read from the store once, then kept for the run; setting them does not
    // store them (SaveLoginCredentials does).
    void UserPwd(const std::string& vData) { userPassword_ = vData; }
    std::string UserPwd();
    void UserName(const std::string& vData) { userName_ = vData; }
    std::string UserName();

    // These are read from the store on every read and written to it at once.
    void AdminUserPwd(const std::string& vData);
    std::string AdminUserPwd();
    void AdminUserName(const std::string& vData);
    std::string AdminUserName();
    void SystemDatabase(const std::string& vData);
    std::string SystemDatabase();
    // The company's name from the shipments database (read afresh on every call).
    std::string CompanyName();
    void DatabaseName(const std::string& vData);
    std::string DatabaseName();
    std::string SchedulePath();
    void SchedulePath(const std::string& vData);

    void setCompanyNameReader(CompanyNameReader reader) { readCompanyName_ = std::move(reader); }

    // The report templates of the suite, by selector: the key in "ReportFiles" and the default file.
    struct ReportRow {
        const char* title;
        const char* fileName;
    };
    static constexpr int kReportCount = 11;
    static const ReportRow kReports[kReportCount];

private:
    std::string readOption(const char* key, std::string& cache);
    void writeOption(const char* key, std::string& cache, const std::string& value);

    std::string programDirectory_;
    CompanyNameReader readCompanyName_;
    std::string databaseName_, systemDatabase_, adminUserName_, adminUserPassword_, userName_, userPassword_,
        schedulePath_;
};
