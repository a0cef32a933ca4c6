// The label printing run behind the wizard's Finished button: the job's label query filled from the
// wizard's choices, its rows copied once per copy into the reports database's "BarCode" table, the
// job's template printed over that table, and the table and the printer put back as they were.
#include "frmPrtSelect.h"

#include "ReportComponent.h"
#include "basDAOUtilityFunctions.h"
#include "program_printer.h"
#include "reports_database.h"

#include "dao/dao.h"
#include "paths/report_templates.h"
#include "runtime/dialogs.h"
#include "runtime/numbers.h"
#include "widgets/data_control.h"
#include "widgets/data_grid.h"
#include "widgets/record_source.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QRadioButton>

#include <cmath>

namespace {

constexpr const char* kLabelTable = "BarCode";
constexpr double kMostCopies = 999; // a mistyped count must not fill the spooler for hours

struct LabelKind {
    const char* queryField;
    const char* templateField;
    const char* printerField;
    const char* name;
};
const LabelKind kBox{"BoxLabelQuery", "LabelFilename", "BarcodedBoxLabel", "box label"};
const LabelKind kPallet{"PalletLabelQuery", "PalletLabelFilename", "BarcodedPalletLabel", "pallet label"};
const LabelKind kShipment{"ShipLabelQuery", "ShipLabelFilename", "BarcodedShipLabel", "shipment label"};

// A field of a data control's current row; Null when it has no current row or no such field.
runtime::Variant currentValue(const widgets::DataControl& data, const std::string& field) {
    auto source = data.source();
    if (!source || source->currentRow() < 0 || source->currentRow() >= source->rowCount())
        return runtime::Variant::null();
    int index = source->fieldIndex(field);
    return index < 0 ? runtime::Variant::null() : source->value(source->currentRow(), index);
}

bool isEmpty(const widgets::DataControl& data) {
    auto source = data.source();
    return !source || source->rowCount() == 0;
}

void dropLabelTable() {
    DropTableIfPresent(kReportsDatabase, kLabelTable);
}

// Copies every row of the label query `copies` times, each row's copies one after the other.
void fillLabelTable(dao::Recordset& rows, long copies) {
    dao::Database reports = dao::engine().Workspaces(0).OpenDatabase(kReportsDatabase);
    dao::Recordset table = reports.OpenRecordset(kLabelTable, dao::dbOpenDynaset, dao::dbAppendOnly);
    for (rows.MoveFirst(); !rows.atEOF(); rows.MoveNext())
        for (long copy = 0; copy < copies; ++copy) {
            table.AddNew();
            for (int f = 0; f < table.FieldCount(); ++f)
                table.Fields(f).setValue(rows.Fields(f).Value());
            table.Update();
        }
    table.Close();
    reports.Close();
}

} // namespace

// The copies are checked before anything else happens, so a mistyped count keeps the clerk on the
// page to mend it instead of ending the run.
bool frmPrtSelect::copiesAccepted() {
    const double copies = runtime::Val(txtNumCopies->text().toStdString());
    if (copies == std::floor(copies) && copies >= 1 && copies <= kMostCopies) return true;
    runtime::MsgBox("Please enter the number of copies as a whole number from 1 to 999.",
                    runtime::mb::Exclamation);
    txtNumCopies->setFocus();
    txtNumCopies->selectAll();
    return false;
}

void frmPrtSelect::cmdPrint_Click() {
    if (!copiesAccepted()) return;
    printLabels();
    if (runtime::MsgBox("Would you like to print more labels?", runtime::mb::YesNo | runtime::mb::Question) ==
        runtime::Answer::Yes) {
        std::int16_t first = 1;
        DisplayPage(first);
    } else {
        close();
    }
}

void frmPrtSelect::printLabels() {
    const LabelKind& kind = optBoxLabels->isChecked()      ? kBox
                            : optPalletLabels->isChecked() ? kPallet
                                                           : kShipment;
    // However the run ends, the printer chosen for the label is given back and no scratch table stays.
    struct Restore {
        frmPrtSelect* wizard;
        bool dropTable = false;
        ~Restore() {
            // A table that cannot be dropped now (a disk error, a lock held elsewhere) is dropped by
            // the next run before it fills its own; nothing may leave this destructor.
            try {
                if (dropTable) dropLabelTable();
            } catch (const std::exception&) {
            }
            wizard->SetNormalPrinter();
        }
    } restore{this};

    const runtime::Variant queryName = currentValue(*datLabels, kind.queryField);
    const runtime::Variant templateFile = currentValue(*datLabels, kind.templateField);
    if (isEmpty(*datLabels)) {
        runtime::MsgBox("There is no part to print labels for.");
        return;
    }
    if (queryName.isNull() || templateFile.isNull()) {
        runtime::MsgBox("This part has no " + std::string(kind.name) +
                        " set up: its label query or label file is missing.");
        return;
    }
    rptLabel->setReportFileName(paths::templateFile(templateFile.toString()));
    const runtime::Variant printer = currentValue(*datLabels, kind.printerField);
    if (!printer.isNull() && printer.toLong() == 1)
        SetBarcodePrinter();
    else if (!printer.isNull() && printer.toLong() == 2)
        SetNormalPrinter();

    const double copies = runtime::Val(txtNumCopies->text().toStdString());
    try {
        dao::Database db = dao::engine().OpenDatabase(datLabels->DatabaseName());
        dao::QueryDef query = db.QueryDefs(queryName.toString());
        for (int i = 0; i < query.ParameterCount(); ++i) {
            dao::Parameter parameter = query.Parameters(i);
            const std::string name = runtime::UCase(parameter.Name());
            if (name == "JOB NUMBER TO PRINT") {
                widgets::DataGrid* grid = chkPrintForShipment->isChecked() ? vxgShipments : vxgParts;
                const widgets::GridColumn* column = grid->columnByCaption("Job Number");
                parameter.setValue(currentValue(*grid->dataSource(), column->dataField));
            } else if (name == "SHIPID") {
                if (isEmpty(*datCurShip)) {
                    runtime::MsgBox("This label should be associated with a shipment.");
                    return;
                }
                parameter.setValue(currentValue(*datCurShip, "ShipmentID"));
            } else {
                parameter.setValue(runtime::inputBoxText(parameter.Name()));
            }
        }
        dao::Recordset rows = query.OpenRecordset(dao::dbOpenSnapshot);
        if (rows.atBOF() && rows.atEOF()) {
            runtime::MsgBox(
                chkPrintForShipment->isChecked()
                    ? "No records matched your selections.  Try not associating these labels with "
                      "a certain shipment."
                    : "No records matched your selections.  Try associating these labels with a "
                      "shipment.");
            return;
        }
        // A table left by a run that never finished is dropped: its rows are not this run's labels.
        dropLabelTable();
        restore.dropTable = true;
        CreateTableFromRecordset(kReportsDatabase, kLabelTable, rows);
        fillLabelTable(rows, long(copies));
    } catch (const runtime::Error& e) {
        {
            runtime::MsgBox("The labels cannot be prepared: " + e.description(), runtime::mb::Critical);
            return;
        }
    }
    rptLabel->setCopiesToPrinter(1);
    // Without Print Setup the labels go to the program's printer, which the job may have just switched.
    if (!printSetupUsed_) rptLabel->setPrinterName(programPrinter::DeviceName());
    const std::int16_t code = rptLabel->PrintReport();
    // The engine's reason says what to mend; the file is named as the run read it.
    if (code != 0)
        runtime::MsgBox("Print Error, Code:" + std::to_string(code) + ".  " +
                        rptLabel->LastErrorString().toStdString() +
                        "\nReport FileName = " + rptLabel->ReportFilePath().toStdString());
}
