#include "data_control.h"

#include "runtime/dialogs.h"
#include "runtime/error.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

namespace widgets {

namespace {
DataControl::Opener& opener() {
    static DataControl::Opener fn;
    return fn;
}

QToolButton* arrow(QWidget* parent, QStyle::StandardPixmap icon, const QString& tip) {
    auto* b = new QToolButton(parent);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setToolTip(tip);
    b->setAutoRaise(true);
    return b;
}
} // namespace

void DataControl::setOpener(Opener fn) {
    opener() = std::move(fn);
}

DataControl::DataControl(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    first_ = arrow(this, QStyle::SP_MediaSkipBackward, "First record");
    previous_ = arrow(this, QStyle::SP_MediaSeekBackward, "Previous record");
    caption_ = new QLabel(this);
    caption_->setFrameShape(QFrame::StyledPanel);
    caption_->setIndent(4);
    next_ = arrow(this, QStyle::SP_MediaSeekForward, "Next record");
    last_ = arrow(this, QStyle::SP_MediaSkipForward, "Last record");
    row->addWidget(first_);
    row->addWidget(previous_);
    row->addWidget(caption_, 1);
    row->addWidget(next_);
    row->addWidget(last_);
    connect(first_, &QToolButton::clicked, [this] { navigate(-1, true); });
    connect(previous_, &QToolButton::clicked, [this] { navigate(-1, false); });
    connect(next_, &QToolButton::clicked, [this] { navigate(1, false); });
    connect(last_, &QToolButton::clicked, [this] { navigate(1, true); });
}

QString DataControl::Caption() const {
    return caption_->text();
}
void DataControl::setCaption(const QString& caption) {
    caption_->setText(caption);
}

void DataControl::setSource(std::shared_ptr<RecordSource> source) {
    source_ = std::move(source);
    emit sourceChanged();
    emit Reposition();
}

void DataControl::Refresh() {
    if (!opener())
        throw runtime::Error(5, "DataControl", "No data-access layer to open \"" + recordSource_ + "\"");
    setSource(opener()(databaseName_, recordSource_));
}

void DataControl::moveTo(int row) {
    if (!source_ || row == source_->currentRow()) return;
    source_->moveTo(row);
    emit Reposition();
}

bool DataControl::editInProgress() const {
    return source_ && source_->editMode() != EditMode::None;
}

void DataControl::navigate(int delta, bool toEnd) {
    if (!source_ || source_->rowCount() == 0) return;
    try {
        // The last record, or the next past those read so far, is among the rest.
        if (delta > 0 && (toEnd || source_->currentRow() + delta >= source_->rowCount())) source_->readAllRows();
        int n = source_->rowCount();
        int row = toEnd ? (delta < 0 ? 0 : n - 1) : std::clamp(source_->currentRow() + delta, 0, n - 1);
        if (editInProgress()) source_->update();
        moveTo(row);
    } catch (const runtime::Error& e) {
        reportError(e.number(), QString::fromStdString(e.description()));
    }
}

void DataControl::reportError(long number, const QString& description) {
    bool handled = false;
    emit Error(number, description, &handled);
    if (!handled) runtime::MsgBox(description.toStdString(), runtime::mb::Exclamation);
}

} // namespace widgets
