#pragma once
// The machine's printers, as the system's print service lists them.
#include <QString>
#include <QStringList>

#include <memory>

class QPrinter;

namespace report {

QStringList printerNames();

// A printer ready to print on: the one named, or the system's default (the first one when no
// default is set) for an empty name. Null, with the reason for the user in `problem`, when no
// printer is installed or the named one is not.
std::unique_ptr<QPrinter> openPrinter(const QString& name, QString* problem, int* status = nullptr);

// A message for the user, through the program's one message-box service.
void tellUser(const QString& message);

} // namespace report
