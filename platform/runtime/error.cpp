#include "error.h"

#include <map>

namespace runtime {

Error::Error(long number, std::string source, std::string description)
    : std::runtime_error(description), number_(number), source_(std::move(source)),
      description_(std::move(description)) {}

std::string standardErrorText(long number) {
    static const std::map<long, std::string> texts = {
        {3, "Return without GoSub"},
        {5, "Invalid procedure call or argument"},
        {6, "Overflow"},
        {7, "Out of memory"},
        {9, "Subscript out of range"},
        {11, "Division by zero"},
        {13, "Type mismatch"},
        {52, "Bad file name or number"},
        {53, "File not found"},
        {57, "Device I/O error"},
        {61, "Disk full"},
        {70, "Permission denied"},
        {75, "Path/File access error"},
        {76, "Path not found"},
        {91, "Object variable or With block variable not set"},
        {94, "Invalid use of Null"},
        {380, "Invalid property value"},
        {424, "Object required"},
        {438, "Object doesn't support this property or method"},
        {440, "Automation error"},
    };
    auto it = texts.find(number);
    return it != texts.end() ? it->second : "Application-defined or object-defined error";
}

void raise(long number, const std::string& source) {
    throw Error(number, source, standardErrorText(number));
}

} // namespace runtime
