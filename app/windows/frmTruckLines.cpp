#include "frmTruckLines.h"

#include "dao/change_notices.h"

#include "CKelmarOptions.h"
#include "basGlobals.h"
#include "basGlobals_board.h"
#include "basUtilityFunctions_ui.h"
#include "frmMain.h"
#include "frmShipments.h"

#include "runtime/dialogs.h"
#include "runtime/numbers.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"
#include "widgets/twips.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

using namespace basGlobals;
using widgets::twipsToPixels;

namespace {

constexpr const char* kRecordSource = "Get Truck Lines Query";
constexpr double kClientWidth = 6660, kClientHeight = 4455; // twips

// The truck lines' record set, refusing to store a row without an abbreviation or with one another
// line already has: the abbreviation is what shipments name, so it must say which line is meant.
class TruckLineSource : public widgets::DaoRecordSource {
public:
    using DaoRecordSource::DaoRecordSource;

    void update() override {
        checkAbbreviation();
        DaoRecordSource::update();
    }

private:
    void checkAbbreviation() const {
        if (editMode() == widgets::EditMode::None) return;
        const int field = fieldIndex("TruckLineAbbr");
        if (field < 0) return;
        runtime::Variant typed = editedValue(field);
        const std::string abbreviation = typed.isNull() ? std::string() : runtime::Trim(typed.toString());
        if (abbreviation.empty())
            throw runtime::Error(dao::errc::RequiredValue, "frmTruckLines",
                                 "Enter an abbreviation for this truck line before saving it.");
        const int own = editMode() == widgets::EditMode::Editing ? currentRow() : -1;
        for (int row = 0; row < rowCount(); ++row) {
            if (row == own) continue;
            runtime::Variant other = value(row, field);
            if (!other.isNull() && runtime::equalsNoCase(runtime::Trim(other.toString()), abbreviation))
                throw runtime::Error(dao::errc::DuplicateKey, "frmTruckLines",
                                     "There is already a truck line with the abbreviation \"" + abbreviation +
                                         "\".  Enter a different abbreviation.");
        }
    }
};

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setFixedSize(twipsToPixels(1215), twipsToPixels(375));
    return b;
}
} // namespace

DefaultInstance<frmTruckLines>& frmTruckLines::defaultInstance() {
    static DefaultInstance<frmTruckLines> window([](frmTruckLines& w) { w.Form_Load(); });
    return window;
}

frmTruckLines& frmTruckLines::showWindow() {
    frmTruckLines& window = defaultInstance().get();
    window.sub_->show();
    frmMain::instance().mdiArea()->setActiveSubWindow(window.sub_);
    window.sub_->raise();
    return window;
}

bool frmTruckLines::exists() {
    return defaultInstance().exists();
}

frmTruckLines* frmTruckLines::openWindow() {
    return defaultInstance().find();
}

frmTruckLines::frmTruckLines() {
    setObjectName("frmTruckLines");
    buildControls();
    sub_ = frmMain::instance().mdiArea()->addSubWindow(this);
    sub_->setAttribute(Qt::WA_DeleteOnClose);
    // A fixed border with a close box only.
    sub_->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    sub_->setWindowTitle("Available Trucking Lines");
    sub_->setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogListView));
    sub_->installEventFilter(this);
    connect(frmMain::instance().mdiArea(), &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        if (w == sub_) showColumnHelp();
    });
    const QSize client(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));
    setFixedSize(client);
    sub_->adjustSize();
    sub_->setFixedSize(sub_->size());
}

frmTruckLines::~frmTruckLines() {
    if (defaultInstance().find() == this) defaultInstance().release();
}

void frmTruckLines::buildControls() {
    datTruckLines = new widgets::DataControl(this);
    datTruckLines->setObjectName("datTruckLines");
    datTruckLines->setRecordSourceText(kRecordSource);
    VxGrid1 = new widgets::DataGrid(this);
    VxGrid1->setObjectName("VxGrid1");
    VxGrid1->setDataSource(datTruckLines);
    VxGrid1->addColumn("Abbreviation", "TruckLineAbbr");
    VxGrid1->addColumn("Name", "TruckLineName");
    VxGrid1->setAllowAddNew(true); // new truck lines are typed into the last line
    VxGrid1->Columns(0).widthTwips = 1440;
    VxGrid1->Columns(1).widthTwips = 4320;
    VxGrid1->columnChanged(0);
    VxGrid1->columnChanged(1);
    cmdUpdate = button(this, "cmdUpdate", "Update");
    cmdDelete = button(this, "cmdDelete", "Delete");
    cmdClose = button(this, "cmdClose", "Close");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(VxGrid1, 1);
    layout->addWidget(datTruckLines);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdUpdate);
    buttons->addWidget(cmdDelete);
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons);

    connect(cmdUpdate, &QPushButton::clicked, this, &frmTruckLines::cmdUpdate_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmTruckLines::cmdDelete_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmTruckLines::cmdClose_Click);
    connect(datTruckLines, &widgets::DataControl::Reposition, this, &frmTruckLines::datTruckLines_Reposition);
    connect(VxGrid1, &widgets::DataGrid::RowColChange, this, &frmTruckLines::showColumnHelp);
}

void frmTruckLines::Form_Load() {
    // Centred over the main window's client area, where its child windows live.
    CenterFormOver(*sub_, *frmMain::instance().mdiArea()->viewport());
    datTruckLines->setDatabaseName(gOptions->DatabaseName());
    bool updatable = false;
    try {
        dao::Database db = dao::engine().OpenDatabase(datTruckLines->DatabaseName());
        auto source = std::make_shared<TruckLineSource>(
            db.OpenRecordset(datTruckLines->RecordSourceText(), dao::dbOpenDynaset));
        updatable = source->updatable();
        datTruckLines->setSource(source);
    } catch (const runtime::Error& e) {
        runtime::MsgBox("The truck lines could not be read: " + e.description(), runtime::mb::Exclamation);
    }
    cmdDelete->setEnabled(updatable);
    cmdUpdate->setEnabled(updatable);
}

bool frmTruckLines::showChangedLines() {
    if (!datTruckLines->source()) return true;
    if (datTruckLines->editInProgress()) return false;
    auto* rs = widgets::boundRecordset(*datTruckLines);
    std::string key = rs ? dao::rowKeyText(*rs, datTruckLines->source()->currentRow()) : "";
    try {
        dao::Database db = dao::engine().OpenDatabase(datTruckLines->DatabaseName());
        datTruckLines->setSource(std::make_shared<TruckLineSource>(
            db.OpenRecordset(datTruckLines->RecordSourceText(), dao::dbOpenDynaset)));
    } catch (const runtime::Error&) {
        return true; // the lines shown stay; Update reports what is wrong
    }
    rs = widgets::boundRecordset(*datTruckLines);
    if (long at = rs ? dao::positionOfKey(*rs, key) : -1; at >= 0) datTruckLines->moveTo(int(at));
    return true;
}

void frmTruckLines::datTruckLines_Reposition() {
    try {
        auto* rs = widgets::boundRecordset(*datTruckLines);
        if (!rs || rs->atEOF() || rs->atBOF()) return;
        runtime::Variant name = (*rs)["TruckLineName"];
        if (name.isNull()) return;
        datTruckLines->setCaption(QString::fromStdString(name.toString()));
    } catch (const std::exception&) {
        // The caption is only a reminder of the current line; it keeps its previous text.
    }
}

// Stored through the grid, which then shows a new empty line after a line just added; a refusal
// is shown by the data control as the grid reports it.
void frmTruckLines::cmdUpdate_Click() {
    if (VxGrid1->storeCurrentRow()) VxGrid1->Refresh();
}

void frmTruckLines::cmdDelete_Click() {
    auto source = datTruckLines->source();
    if (!source) return;
    try {
        if (source->editMode() != widgets::EditMode::None) source->cancelUpdate();
        const int row = source->currentRow();
        if (row < 0) return;
        source->deleteCurrent();
        // Show the rows left, on the line that took the deleted one's place (or the new last one).
        datTruckLines->setSource(source);
        if (source->rowCount() > 0) datTruckLines->moveTo(std::min(row, source->rowCount() - 1));
    } catch (const runtime::Error& e) {
        runtime::MsgBox("The truck line could not be deleted: " + e.description(), runtime::mb::Exclamation);
        datTruckLines->setSource(source);
    }
}

void frmTruckLines::cmdClose_Click() {
    sub_->close();
}

void frmTruckLines::Form_Unload() {
    if (frmShipments::exists()) {
        try {
            LoadTruckLineList();
        } catch (const runtime::Error& e) {
            runtime::MsgBox("The board's truck lines could not be reloaded: " + e.description(),
                            runtime::mb::Exclamation);
        }
    }
}

// The hint goes where every window's hints go: the first panel of the main window's status bar.
void frmTruckLines::showColumnHelp() {
    ShowColumnHelp("frmTruckLines", VxGrid1->currentColumn());
}

bool frmTruckLines::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sub_) {
        if (event->type() == QEvent::Close) {
            // A line being typed is stored first; when it cannot be, the window stays open with it.
            if (!VxGrid1->storeCurrentRow()) {
                event->ignore();
                return true;
            }
            Form_Unload();
            if (defaultInstance().find() == this) defaultInstance().release(); // deleted with its frame
        }
    }
    return QWidget::eventFilter(watched, event);
}
