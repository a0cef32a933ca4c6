// The board's editing operations: store the pending edit, move shipments to another date, cancel or
// delete them, start a new row, and Ship +/- (record what was really shipped today, splitting a
// partial shipment or spreading an over-shipment over the same job's open rows).
#include "frmShipments.h"

#include "basGlobals_board.h"
#include "board_layout.h"
#include "frmMain.h"
#include "status_rules.h"
#include "typed_answers.h"

#include "dao/jet_sql.h"
#include "runtime/clock.h"
#include "runtime/dialogs.h"
#include "runtime/locale_text.h"
#include "runtime/numbers.h"
#include "runtime/variant.h"
#include "widgets/dao_record_source.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"
#include "widgets/tab_strip.h"

#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <set>

using namespace basGlobals;
using runtime::Variant;

namespace {

bool hasCurrentRecord(const dao::Recordset* rs) {
    return rs && !rs->atEOF() && !rs->atBOF();
}

bool isYes(const Variant& v) {
    return !v.isNull() && v.toBool();
}

// A quantity as a whole number; an empty quantity counts as none.
long long wholeNumber(const Variant& v) {
    return v.isNull() ? 0 : static_cast<long long>(runtime::roundHalfEven(v.toDouble()));
}

std::string numberText(long long n) {
    return std::to_string(n);
}

std::string trimmedComment(const dao::Recordset& rs) {
    Variant old = rs["Comments"];
    return old.isNull() ? std::string() : runtime::RTrim(old.toString());
}

// The note on a row whose quantity went down (or to nothing) because more was shipped elsewhere.
std::string noteReduced(const std::string& oldComment, long long quantity, long long shipped) {
    return oldComment + "  " + numberText(quantity) + " originally scheduled to be shipped.  We shipped " +
           numberText(shipped) + " on " + runtime::shortDateText(runtime::Today()) + ".";
}

// The note on a row the excess of an over-shipment covered exactly.
std::string noteShippedExactly(const std::string& oldComment, long long shipped) {
    return oldComment + "  " + numberText(shipped) + " total parts shipped on" + " " +
           runtime::shortDateText(runtime::Today()) + ".";
}

void cancelEdit(dao::Recordset& rs) {
    try {
        if (rs.EditMode() != dao::dbEditNone) rs.CancelUpdate();
    } catch (const runtime::Error&) {
        // Nothing was being edited after all.
    }
}

// A value as the clerk reads it in a message.
std::string shownValue(const Variant& v) {
    if (v.isNull() || v.isEmpty()) return "(empty)";
    if (v.type() == runtime::VarType::Boolean) return v.toBool() ? "Yes" : "No";
    if (v.type() == runtime::VarType::Date) return runtime::dateText(v.toDate());
    return v.toString();
}

// Whether an edited value is what the row already held; a typed "150" is the stored 150.
bool sameValue(const Variant& a, const Variant& b) {
    if (a == b) return true;
    if (a.isNull() || b.isNull()) return false;
    try {
        return a.toString() == b.toString();
    } catch (const runtime::Error&) {
        return false;
    }
}

// Why Ship +/- cannot record a shipment on this row, or "" when it can.
std::string shipRefusal(const dao::Recordset& rs) {
    if (isYes(rs["Canceled"]))
        return "This shipment is canceled, so Ship +/- cannot record it as shipped.  Nothing was changed.";
    Variant shippedOn = rs["ActShipDate"];
    if (!shippedOn.isNull())
        return "This shipment was already shipped on " + runtime::shortDateText(shippedOn.toDate()) +
               ".  Ship +/- records only shipments that have not been shipped yet.  Nothing was changed.";
    return "";
}

} // namespace

// A change in the grid not yet stored is stored before an operation moves the current record or
// re-reads the board; false when that failed (the grid has reported why, and the change stays).
bool frmShipments::storePendingEdit() {
    endCellEdit();
    return VxGrid1->storeCurrentRow();
}

// A menu command leaves the cell editor open (a menu takes no focus): moving the focus to the grid
// ends the cell edit as leaving the cell does, so the text just typed is part of the row's changes.
void frmShipments::endCellEdit() {
    if (QWidget* focus = QApplication::focusWidget();
        focus && focus != VxGrid1 && VxGrid1->isAncestorOf(focus))
        VxGrid1->setFocus();
}

// Reads the board again as it is shown: the tab's rows, or while the search window owns the board
// the search's rows under its caption (ApplyStatusTab knows which).
void frmShipments::requeryBoard() {
    ApplyStatusTab();
}

bool frmShipments::settlePendingEdit() {
    endCellEdit();
    auto source = Data1->source();
    if (!source || source->editMode() == widgets::EditMode::None) return true;
    const auto answer =
        runtime::MsgBox("The shipment you are editing has changes that are not saved yet.  Save them now?  "
                        "(No throws them away; Cancel goes back to them.)",
                        runtime::mb::YesNoCancel + runtime::mb::Question);
    if (answer == runtime::Answer::Yes) return VxGrid1->storeCurrentRow();
    if (answer != runtime::Answer::No) {
        SetEditCommandEnabled(3, true);
        return false;
    }
    source->cancelUpdate();
    VxGrid1->Refresh();
    return true;
}

// The rows Move and Cancel/Delete act on: those picked by their row headers, else the rows of the
// selected cells (a click selects a cell), else the current row.
std::vector<runtime::Bytes> frmShipments::rowsToChange() const {
    std::vector<runtime::Bytes> marks = VxGrid1->selectedBookmarks();
    auto source = Data1->source();
    if (!marks.empty() || !source) return marks;
    std::set<int> rows;
    for (const QModelIndex& cell : VxGrid1->selectionModel()->selectedIndexes())
        if (cell.row() < source->rowCount()) rows.insert(cell.row());
    if (rows.empty() && source->currentRow() >= 0) rows.insert(source->currentRow());
    for (int row : rows)
        marks.push_back(source->bookmark(row));
    return marks;
}

// The delete question names the shipment: with several selected, the clerk must know which one is
// meant each time.
bool frmShipments::deleteQuestionAnsweredYes(const dao::Recordset& rs) {
    std::string names;
    auto name = [&](const std::string& label, const char* field) {
        const Variant v = rs[field];
        if (v.isNull() || runtime::Trim(v.toString()).empty()) return;
        names += (names.empty() ? "" : ", ") + label + runtime::Trim(v.toString());
    };
    name("Work Order# ", "WorkOrder");
    name("", "Customer");
    name("PO# ", "CustomerPO");
    name("Job # ", "JobNum");
    if (!rs["Quantity"].isNull())
        names += (names.empty() ? "" : ", ") + numberText(wholeNumber(rs["Quantity"])) + " parts";
    return runtime::MsgBox(
               "Are you sure you want to remove this canceled shipment from the database permanently?"
               "\n\n" +
                   names,
               runtime::mb::YesNo + runtime::mb::Question) == runtime::Answer::Yes;
}

void frmShipments::showDeleteCommandOf(bool canceledRow) {
    const board::TabDefinition& texts = board::tabDefinition(canceledRow ? 6 : 1);
    cmdDelete->setText(texts.cmdDeleteCaption);
    frmMain::instance().mnuEditDelete->setText(texts.menuDeleteCaption);
}

// Tells the user why a change was not stored and shows the board as it is stored now, so that
// nothing another workstation wrote meanwhile is overwritten unseen.
void frmShipments::reportEditFailure(const runtime::Error& error) {
    if (error.number() == dao::errc::ChangedByOther) {
        keepEditAfterConflict();
        return;
    }
    if (auto* rs = widgets::boundRecordset(*Data1)) cancelEdit(*rs);
    std::string text;
    if (error.number() == dao::errc::RecordDeleted)
        text = "Another workstation deleted this shipment, so your change was not saved.  The board has "
               "been refreshed.";
    else
        text = "Your change could not be saved: " + error.description() + "  The board has been refreshed.";
    runtime::MsgBox(text, runtime::mb::Exclamation);
    requeryBoard();
}

// The grid reports a conflict while it is still handling the move away from the row; the row is read
// again once the grid has finished with it.
void frmShipments::keepEditAfterConflictLater() {
    QTimer::singleShot(0, this, [this] { QTimer::singleShot(0, this, [this] { keepEditAfterConflict(); }); });
}

// Another workstation changed the row the clerk was editing. The clerk's typing is not thrown away:
// the board is read again, the row shows the clerk's values over what is stored now, and the
// message says what the other workstation left there. Update then stores the clerk's values over
// them; Refresh offers to discard them.
void frmShipments::keepEditAfterConflict() {
    auto source = std::dynamic_pointer_cast<widgets::DaoRecordSource>(Data1->source());
    if (!source || source->editMode() != widgets::EditMode::Editing) return;
    const int row = source->currentRow();
    const int keyField = source->fieldIndex("ShipmentID");
    if (row < 0 || keyField < 0) return;
    const Variant key = source->value(row, keyField);
    std::vector<std::pair<std::string, Variant>> typed;
    for (int f = 0; f < source->fieldCount(); ++f) {
        if (!source->fieldUpdatable(f)) continue;
        Variant mine = source->editedValue(f);
        if (!sameValue(mine, source->value(row, f))) typed.emplace_back(source->fieldName(f), mine);
    }
    source->cancelUpdate();
    requeryBoard();

    auto fresh = Data1->source();
    const int freshKey = fresh ? fresh->fieldIndex("ShipmentID") : -1;
    int at = -1;
    for (int r = 0; freshKey >= 0 && r < fresh->rowCount() && at < 0; ++r)
        if (fresh->value(r, freshKey) == key) at = r;
    if (at < 0) {
        runtime::MsgBox("Another workstation changed this shipment after it was shown here, and it no longer "
                        "belongs to the shipments shown, so your change was not saved.",
                        runtime::mb::Exclamation);
        return;
    }
    Data1->moveTo(at);
    if (typed.empty()) { // nothing the clerk typed differs from what is stored now
        runtime::MsgBox("Another workstation changed this shipment after it was shown here.  The board now "
                        "shows it as it is stored.",
                        runtime::mb::Exclamation);
        return;
    }
    std::string theirs, yours;
    for (const auto& [name, mine] : typed) {
        const int f = fresh->fieldIndex(name);
        const int column = VxGrid1->columnOfField(name);
        const std::string label = column >= 0 ? VxGrid1->Columns(column).caption.toStdString() : name;
        theirs += (theirs.empty() ? "" : ", ") + label + " " + shownValue(fresh->value(at, f));
        yours += (yours.empty() ? "" : ", ") + label + " " + shownValue(mine);
    }
    fresh->edit();
    for (const auto& [name, mine] : typed)
        fresh->setValue(fresh->fieldIndex(name), mine);
    SetEditCommandEnabled(3, true);
    VxGrid1->Refresh();
    runtime::MsgBox("Another workstation changed this shipment after it was shown here, so your change was "
                    "not saved yet.  Stored now: " +
                        theirs + ".  Your values are still in the row (" + yours +
                        "): Update saves them over the stored ones; Refresh asks whether to discard them.",
                    runtime::mb::Exclamation);
}

// A change to several selected shipments is made whole or not at all; this says which happened.
void frmShipments::reportSelectionFailure(const runtime::Error& error, const std::string& done) {
    std::string text;
    if (error.number() == dao::errc::ChangedByOther)
        text = "Another workstation changed one of the selected shipments after it was shown here, so none "
               "of them was " +
               done +
               ".  The board now shows the shipments as they are stored; select them again if it is "
               "still needed.";
    else if (error.number() == dao::errc::RecordDeleted)
        text = "Another workstation deleted one of the selected shipments, so none of them was " + done +
               ".  The board has been refreshed.";
    else
        text = "None of the selected shipments was " + done + ": " + error.description() +
               "  The board has been refreshed.";
    runtime::MsgBox(text, runtime::mb::Exclamation);
    VxGrid1->clearSelectedRows();
    requeryBoard();
}

void frmShipments::DoUpdate() {
    endCellEdit();
    auto source = std::dynamic_pointer_cast<widgets::DaoRecordSource>(Data1->source());
    if (!source || source->editMode() == widgets::EditMode::None) return;
    try {
        source->update();
    } catch (const runtime::Error& e) {
        reportEditFailure(e);
        return;
    }
    VxGrid1->Refresh();
    Data1_Reposition(); // the status line reads the row as it was stored
}

void frmShipments::DoMove() {
    // The board is read again at the end whatever the answer: an edit still open would be lost.
    if (!storePendingEdit()) return;
    const std::vector<runtime::Bytes> marks = rowsToChange();
    if (marks.empty()) {
        runtime::MsgBox("Select the shipments to move first: click a cell of each, or its row header.",
                        runtime::mb::Exclamation);
        return;
    }
    const std::string answer = runtime::inputBoxText(std::string("Enter the date you want ") +
                                                     " moved to in the box below, then click " + "OK.");
    std::optional<runtime::Date> date = board::readDateAnswer(answer);
    if (!date && !runtime::Trim(answer).empty())
        runtime::MsgBox("\"" + runtime::Trim(answer) + "\" is not a date.  No shipment was moved.  Type " +
                            runtime::dateFormHint() + ".",
                        runtime::mb::Exclamation);
    dao::Recordset* rs = widgets::boundRecordset(*Data1);
    if (date && rs) {
        const runtime::Date today = runtime::Today();
        try {
            inOneTransaction(workspace(), [&] {
                for (const runtime::Bytes& mark : marks) {
                    rs->setBookmark(mark);
                    bool wasLate = isYes((*rs)["Late"]);
                    rs->Edit();
                    rs->Fields("ReqShipDate").setValue(Variant(*date));
                    rs->Fields("Late").setValue(Variant(board::lateAfterMove(wasLate, *date, today)));
                    rs->Update();
                }
            });
        } catch (const runtime::Error& e) {
            cancelEdit(*rs);
            reportSelectionFailure(e, "moved");
            return;
        }
    }
    ActivateControls();
    requeryBoard();
}

void frmShipments::DoDelete() {
    auto source = std::dynamic_pointer_cast<widgets::DaoRecordSource>(Data1->source());
    if (source) {
        if (!storePendingEdit()) return; // the refused edit stays in the grid to be put right
        dao::Recordset& rs = source->recordset();
        // On the Canceled tab every row is deleted; search results mix all kinds, and there a
        // canceled row is deleted while an open one is canceled.
        const bool canceledTab = !showingSearchResults() && tsTab->SelectedCaption() == "Canceled";
        const runtime::Date today = runtime::Today();
        int shippedSkipped = 0;
        bool deleting = canceledTab;
        try {
            // The rows to change are settled first (the questions asked), then changed together.
            std::vector<std::pair<runtime::Bytes, bool>> chosen; // the row, and whether it goes
            for (const runtime::Bytes& mark : rowsToChange()) {
                rs.setBookmark(mark);
                const bool canceled = isYes(rs["Canceled"]);
                if (!canceledTab && !(showingSearchResults() && canceled)) {
                    // A shipped order cannot be canceled (the same rule as the Canceled? cell); a
                    // canceled one keeps the day it was canceled.
                    if (canceled) continue;
                    if (!rs["ActShipDate"].isNull())
                        ++shippedSkipped;
                    else
                        chosen.emplace_back(mark, false);
                    continue;
                }
                deleting = true;
                if (deleteQuestionAnsweredYes(rs)) chosen.emplace_back(mark, true);
            }
            inOneTransaction(workspace(), [&] {
                for (const auto& [mark, remove] : chosen) {
                    rs.setBookmark(mark);
                    if (!remove) {
                        // The cancel date puts the row on the Canceled tab of this day, whatever its
                        // own date (ASAP, overdue): there it can be deleted.
                        rs.Edit();
                        rs.Fields("Canceled").setValue(Variant(true));
                        rs.Fields("OKToShip").setValue(Variant(false));
                        rs.Fields("ActShipDate").setValue(Variant(today));
                        rs.Update();
                        continue;
                    }
                    source->deleteCurrent();
                    rs.MoveNext();
                    if (rs.atEOF() && rs.RecordCount() > 0) rs.MoveLast();
                }
            });
        } catch (const runtime::Error& e) {
            cancelEdit(rs);
            reportSelectionFailure(e, deleting ? "deleted" : "canceled");
            return;
        }
        if (shippedSkipped > 0)
            runtime::MsgBox(numberText(shippedSkipped) +
                                (shippedSkipped == 1
                                     ? " selected shipment was already shipped and is left as it is"
                                     : " selected shipments were already shipped and are left as they are") +
                                ": you cannot cancel an order that has already been shipped.",
                            runtime::mb::Exclamation);
    }
    ActivateControls();
    requeryBoard();
}

void frmShipments::DoAdd() {
    SetEditCommandEnabled(2, false);
    SetEditCommandEnabled(4, false);
    SetEditCommandEnabled(3, true);
    // The grid shows the new record in its new-row line, where the clerk fills it in.
    VxGrid1->setAllowAddNew(true);
    VxGrid1->addNewRow();
}

void frmShipments::cmdShipPlusMinus_Click() {
    dao::Recordset* rs = widgets::boundRecordset(*Data1);
    // What was typed into the row is stored first: the split copies the row, and the board is read
    // again at the end.
    if (!hasCurrentRecord(rs) || !storePendingEdit()) return;
    if (std::string refusal = shipRefusal(*rs); !refusal.empty()) {
        runtime::MsgBox(refusal, runtime::mb::Exclamation);
        return;
    }
    const long long quantity = wholeNumber((*rs)["Quantity"]);
    const std::string answer =
        runtime::Trim(runtime::inputBoxText("How many parts do you want to ship today?"));
    const board::PartsAnswer parts = board::readPartsAnswer(answer);
    using Kind = board::PartsAnswer::Kind;
    if (parts.kind == Kind::NotWhole) {
        runtime::MsgBox("\"" + answer + "\" is not a whole number of parts.  Nothing was changed.",
                        runtime::mb::Exclamation);
    } else if (parts.kind == Kind::TooLarge) {
        runtime::MsgBox("\"" + answer + "\" is more parts than a shipment can hold.  Nothing was changed.",
                        runtime::mb::Exclamation);
    } else if (parts.kind == Kind::Negative) {
        runtime::MsgBox("The number of parts shipped cannot be negative.  Nothing was changed.",
                        runtime::mb::Exclamation);
    } else if (parts.kind == Kind::Parts && parts.parts > 0) {
        const long long shipped = parts.parts;
        try {
            if (shipped < quantity)
                shipPartial(quantity, shipped);
            else if (shipped == quantity)
                shipExact();
            else
                shipOver(quantity, shipped);
        } catch (const runtime::Error& e) {
            cancelEdit(*rs);
            runtime::MsgBox("The shipment was not recorded and nothing was changed: " +
                                std::string(e.number() == dao::errc::ChangedByOther
                                                ? "another workstation changed one of its rows meanwhile."
                                                : e.description()),
                            runtime::mb::Exclamation);
        }
    }
    requeryBoard();
}

// The row keeps what was shipped today; a new row with the same order details carries the rest.
void frmShipments::shipPartial(long long quantity, long long shipped) {
    dao::Recordset& rs = *widgets::boundRecordset(*Data1);
    Variant required = rs["ReqShipDate"];
    const std::string restText = runtime::Trim(
        runtime::inputBoxText("When do the rest need to be shipped?", runtime::kDefaultTitle,
                              required.isNull() ? std::string() : runtime::shortDateText(required.toDate())));
    std::optional<runtime::Date> restDate = board::readDateAnswer(restText);
    if (!restDate) {
        runtime::MsgBox(restText.empty()
                            ? "No date was given for the rest of the parts.  Nothing was changed."
                            : "\"" + restText + "\" is not a date.  Nothing was changed.  Type " +
                                  runtime::dateFormHint() + ".",
                        runtime::mb::Exclamation);
        return;
    }
    const runtime::Date today = runtime::Today();
    dao::Recordset rest = rs.Clone();
    try {
        inOneTransaction(workspace(), [&] {
            rest.AddNew();
            for (int i = 0; i < rest.FieldCount(); ++i) {
                dao::Field field = rest.Fields(i);
                const std::string& name = field.Name();
                if (name == "Quantity")
                    field.setValue(Variant(quantity - shipped));
                else if (name == "ShipmentID" || name == "PCF Code")
                    continue;
                else if (name == "ReqShipDate")
                    field.setValue(Variant(*restDate));
                else if (name == "Late")
                    field.setValue(Variant(board::lateOfSplitRest(*restDate, today)));
                else if (rs.Fields(name).Attributes() & dao::dbUpdatableField) {
                    try {
                        field.setValue(rs.Fields(name).Value());
                    } catch (const runtime::Error&) {
                        // A value the new row cannot take stays empty there.
                    }
                }
            }
            rest.Update();
            rs.Edit();
            rs.Fields("Quantity").setValue(Variant(shipped));
            rs.Fields("ActShipDate").setValue(Variant(today));
            rs.Update();
        });
    } catch (...) {
        cancelEdit(rest);
        throw;
    }
}

void frmShipments::shipExact() {
    dao::Recordset& rs = *widgets::boundRecordset(*Data1);
    rs.Edit();
    rs.Fields("OKToShip").setValue(Variant(true));
    rs.Fields("ActShipDate").setValue(Variant(runtime::Today()));
    rs.Update();
}

// The row is shipped with everything sent; the excess comes off the same job and work order's open
// rows, those without a date (ASAP) first, then by date. Canceled rows and rows already down to
// nothing have no parts left to take it.
void frmShipments::shipOver(long long quantity, long long shipped) {
    dao::Recordset& rs = *widgets::boundRecordset(*Data1);
    const runtime::Date today = runtime::Today();
    const std::string job = rs["JobNum"].isNull() ? std::string() : rs["JobNum"].toString();
    const std::string workOrder = rs["WorkOrder"].isNull() ? std::string() : rs["WorkOrder"].toString();
    inOneTransaction(workspace(), [&] {
        long long excess = shipped - quantity;
        rs.Edit();
        rs.Fields("OKToShip").setValue(Variant(true));
        rs.Fields("ActShipDate").setValue(Variant(today));
        rs.Fields("Quantity").setValue(Variant(shipped));
        rs.Update();
        dao::Recordset open = database().OpenRecordset(
            "SELECT * FROM Shipments WHERE [JobNum] = " + dao::jet::quoteText(job) +
            " And [WorkOrder] = " + dao::jet::quoteText(workOrder) +
            " And [ActShipDate] Is Null And ([Canceled] = No Or [Canceled] Is Null) And [Quantity] > 0"
            // ASAP rows (no date) first on every engine: a server would sort them last.
            " ORDER BY IIf([ReqShipDate] Is Null, 0, 1), [ReqShipDate];");
        for (; !open.atEOF() && excess >= 1; open.MoveNext()) {
            const long long rowQuantity = wholeNumber(open["Quantity"]);
            const std::string comment = trimmedComment(open);
            open.Edit();
            if (rowQuantity < excess) {
                open.Fields("Quantity").setValue(Variant(0));
                open.Fields("Comments").setValue(Variant(noteReduced(comment, rowQuantity, shipped)));
                excess -= rowQuantity;
            } else if (rowQuantity > excess) {
                open.Fields("Quantity").setValue(Variant(rowQuantity - excess));
                open.Fields("Comments").setValue(Variant(noteReduced(comment, rowQuantity, shipped)));
                excess = 0;
            } else {
                excess = 0;
                open.Fields("OKToShip").setValue(Variant(true));
                open.Fields("ActShipDate").setValue(Variant(today));
                open.Fields("Comments").setValue(Variant(noteShippedExactly(comment, shipped)));
            }
            open.Update();
        }
        open.Close();
    });
}
