#pragma once
// The company's name as the shipments database records it (the first row of CompanyInfo).
#include "runtime/variant.h"

#include <string>

runtime::Variant companyNameFromDatabase(const std::string& databasePath);
