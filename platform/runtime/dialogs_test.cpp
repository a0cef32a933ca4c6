#include "runtime/error_report.h"
#include "runtime/scripted_dialogs.h"

#include <gtest/gtest.h>

using namespace runtime;

TEST(Dialogs, ScriptAnswersInOrderAndRecordsEveryBox) {
    auto d = useScriptedDialogs();
    d->answer(Answer::No).type("400").cancelInput();
    EXPECT_EQ(MsgBox("Done."), Answer::OK); // OK-only boxes need no script line
    EXPECT_EQ(MsgBox("Delete?", mb::YesNo + mb::Question), Answer::No);
    EXPECT_EQ(InputBox("How many?"), "400");
    EXPECT_EQ(inputBoxText("Date?"), "");
    ASSERT_EQ(d->shown().size(), 4u);
    EXPECT_EQ(d->shown()[1].title, "Dorvane");
    EXPECT_EQ(d->shown()[1].flags, mb::YesNo + mb::Question);
    EXPECT_TRUE(d->allAnswersUsed());
    EXPECT_THROW(MsgBox("Unexpected?", mb::YesNo), std::logic_error);
    setDialogs(nullptr);
    EXPECT_THROW(MsgBox("nobody there"), Error);
}

// Whatever reaches the event loop is rolled back first, then shown as the standard report, and the
// program ends: a run-time error as it is, anything else under the runtime's own numbers.
TEST(ErrorReport, RunsCleanUpBeforeShowingTheStandardReportWhateverEscaped) {
    auto order = std::make_shared<std::vector<std::string>>(); // the clean-up outlives this test
    onFatalError([order] { order->push_back("rollback"); });
    onFatalError([] { throw std::runtime_error("a clean-up that fails stops no other"); });
    onFatalError([order] { order->push_back("second clean-up"); });
    setFatalErrorExit([order](int code) {
        order->push_back("exit " + std::to_string(code));
        throw 0;
    });
    struct Case {
        std::exception_ptr escaped;
        std::string shown;
    };
    const Case cases[] = {
        {std::make_exception_ptr(Error(3044, "DAO.Database", "'X:\\a.mdb' is not a valid path.")),
         "Run-time error '3044':\n\n'X:\\a.mdb' is not a valid path."},
        {std::make_exception_ptr(std::bad_alloc()), "Run-time error '7':\n\nOut of memory"},
        {std::make_exception_ptr(std::out_of_range("vector::at")),
         "Run-time error '51':\n\nInternal error: vector::at"},
        {std::make_exception_ptr(42), "Run-time error '51':\n\nInternal error: an unknown failure."},
    };
    for (const auto& c : cases) {
        auto d = useScriptedDialogs();
        order->clear();
        EXPECT_THROW(reportFatalError(c.escaped), int);
        ASSERT_EQ(d->shown().size(), 1u) << c.shown;
        EXPECT_EQ(d->shown()[0].prompt, c.shown);
        EXPECT_EQ(*order, (std::vector<std::string>{"rollback", "second clean-up", "exit 1"})) << c.shown;
    }
    setFatalErrorExit(nullptr);
}
