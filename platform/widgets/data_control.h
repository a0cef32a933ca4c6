#pragma once
// The data control: a record navigator (first, previous, next, last) with a caption, holding the
// record set that data-bound controls show. Its record set can be replaced at any time; the
// database name and record source open one on Refresh.
#include "record_source.h"

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QToolButton;

namespace widgets {

class DataControl : public QWidget {
    Q_OBJECT
public:
    explicit DataControl(QWidget* parent = nullptr);

    QString Caption() const;
    void setCaption(const QString& caption);

    const std::string& DatabaseName() const { return databaseName_; }
    void setDatabaseName(const std::string& name) { databaseName_ = name; }
    const std::string& RecordSourceText() const { return recordSource_; }
    void setRecordSourceText(const std::string& text) { recordSource_ = text; }

    // The record set shown; nullptr when there is none.
    std::shared_ptr<RecordSource> source() const { return source_; }
    void setSource(std::shared_ptr<RecordSource> source);

    // Opens the record source on the database and shows it. Errors go to the caller.
    void Refresh();
    // Moves the current record (and tells the bound controls).
    void moveTo(int row);
    bool editInProgress() const;

    // How a database name and record source become a record set; the data-access layer installs it.
    using Opener =
        std::function<std::shared_ptr<RecordSource>(const std::string& database, const std::string& source)>;
    static void setOpener(Opener opener);

signals:
    void Reposition();    // the current record changed
    void sourceChanged(); // a new record set was bound
    // A data error the record set reported; a handler that deals with it sets *handled, otherwise
    // the control shows the error's own text.
    void Error(long number, const QString& description, bool* handled);

public:
    // Reports an error as the data control does: to the Error handlers, then with its own text.
    void reportError(long number, const QString& description);

private:
    void navigate(int delta, bool toEnd);

    QLabel* caption_;
    QToolButton *first_, *previous_, *next_, *last_;
    std::string databaseName_, recordSource_;
    std::shared_ptr<RecordSource> source_;
};

} // namespace widgets
