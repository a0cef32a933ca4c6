#include "CKelmarOptions.h"

#include "settings_store.h"

#include "runtime/error.h"
#include "runtime/locale_text.h"

namespace {
constexpr const char* kApp = "Kelmar";
constexpr const char* kOptions = "Options";
constexpr const char* kReportFiles = "ReportFiles";
constexpr const char* kColWidths = "ColWidths";
} // namespace

const CKelmarOptions::ReportRow CKelmarOptions::kReports[kReportCount] = {
    {"Shipping Report", "shipping report.rpt"},
    {"Packing List", "packing list.rpt"},
    {"Box Label", "box label.rpt"},
    {"Pallet Label", "pallet label.rpt"},
    {"Shipping Label", "shipping label.rpt"},
    {"Bill of Lading", "bill of lading.rpt"},
    {"Production Schedule", "production schedule.rpt"},
    {"Customer Schedule", "production schedule.rpt"}, // the same layout, filtered to one customer
    {"Late Shipments", "late shipments.rpt"},
    {"Job Traveler", "job traveler.rpt"},
    {"Inventory Status", "inventory status.rpt"},
};

CKelmarOptions::CKelmarOptions(std::string programDirectory, CompanyNameReader readCompanyName)
    : programDirectory_(std::move(programDirectory)), readCompanyName_(std::move(readCompanyName)) {}

// ---- report templates ----

void CKelmarOptions::ReportFilename(std::int32_t Selector, const std::string& FileName) {
    if (Selector < 0 || Selector >= kReportCount) return;
    SaveSetting(kApp, kReportFiles, kReports[Selector].title, FileName);
}

std::string CKelmarOptions::ReportFilename(std::int32_t Selector) const {
    if (Selector < 0 || Selector >= kReportCount) return "";
    return GetSetting(kApp, kReportFiles, kReports[Selector].title,
                      programDirectory_ + "\\" + kReports[Selector].fileName);
}

// ---- column widths ----

void CKelmarOptions::SaveColumnWidths(const std::string& Section, const GridColumns& Cols) const {
    for (int i = 0; i < Cols.count(); ++i) {
        if (!Cols.visible(i)) continue;
        // As a single-precision number in the locale's writing: at most seven significant digits.
        std::string width = runtime::Variant(float(Cols.width(i))).toString();
        SaveSetting(kApp, kColWidths, Section + "-" + Cols.caption(i), width);
    }
}

void CKelmarOptions::GetColumnWidths(const std::string& Section, GridColumns& Cols) const {
    for (int i = 0; i < Cols.count(); ++i) {
        if (!Cols.visible(i)) continue;
        std::string current = runtime::Variant(float(Cols.width(i))).toString();
        std::string stored = GetSetting(kApp, kColWidths, Section + "-" + Cols.caption(i), current);
        // The width may have been written under another locale ("1154,835" or "1154.835"); anything
        // but a number is a type mismatch, as when the grid converts an assigned text.
        auto width = runtime::parseWrittenNumber(stored);
        Cols.setWidth(i, width ? runtime::Variant(*width).toSingle() : runtime::Variant(stored).toSingle());
    }
}

// ---- login ----

void CKelmarOptions::SaveLoginCredentials() const {
    SaveSetting(kApp, kOptions, "UserName", userName_);
    SaveSetting(kApp, kOptions, "UserPW", userPassword_);
}

std::string CKelmarOptions::UserPwd() {
    if (userPassword_.empty()) userPassword_ = GetSetting(kApp, kOptions, "UserPW", "");
    return userPassword_;
}

std::string CKelmarOptions::UserName() {
    if (userName_.empty()) userName_ = GetSetting(kApp, kOptions, "UserName", "");
    return userName_;
}

// ---- options read on every use ----

std::string CKelmarOptions::readOption(const char* key, std::string& cache) {
    cache = GetSetting(kApp, kOptions, key, "");
    return cache;
}

void CKelmarOptions::writeOption(const char* key, std::string& cache, const std::string& value) {
    cache = value;
    SaveSetting(kApp, kOptions, key, value);
}

void CKelmarOptions::AdminUserPwd(const std::string& v) {
    writeOption("DefaultPW", adminUserPassword_, v);
}
std::string CKelmarOptions::AdminUserPwd() {
    return readOption("DefaultPW", adminUserPassword_);
}
void CKelmarOptions::AdminUserName(const std::string& v) {
    writeOption("DefaultUser", adminUserName_, v);
}
std::string CKelmarOptions::AdminUserName() {
    return readOption("DefaultUser", adminUserName_);
}
void CKelmarOptions::SystemDatabase(const std::string& v) {
    writeOption("SystemDB", systemDatabase_, v);
}
std::string CKelmarOptions::SystemDatabase() {
    return readOption("SystemDB", systemDatabase_);
}
void CKelmarOptions::DatabaseName(const std::string& v) {
    writeOption("DBName", databaseName_, v);
}
std::string CKelmarOptions::DatabaseName() {
    return readOption("DBName", databaseName_);
}
std::string CKelmarOptions::SchedulePath() {
    return readOption("SchedulePath", schedulePath_);
}
void CKelmarOptions::SchedulePath(const std::string& v) {
    writeOption("SchedulePath", schedulePath_, v);
}

// ---- from the database ----

std::string CKelmarOptions::CompanyName() {
    if (databaseName_.empty()) DatabaseName();
    if (databaseName_.empty()) return "";
    // No database layer connected is a fault of the program's set-up, not of the data.
    if (!readCompanyName_)
        throw runtime::Error(runtime::err::ObjectRequired, "CKelmarOptions", "Object required");
    runtime::Variant name = readCompanyName_(databaseName_);
    return name.isNull() ? std::string() : name.toString();
}
