#pragma once
// The workstation's local reports database: it holds only the scratch tables printing fills.
inline constexpr const char* kReportsDatabase = "C:\\NETDATA\\PRODUCTN\\REPORTS.MDB";
