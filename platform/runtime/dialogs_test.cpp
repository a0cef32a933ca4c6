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

TEST(ErrorReport, RunsCleanUpBeforeShowingTheStandardReport) {
    auto d = useScriptedDialogs();
    std::vector<std::string> order;
    onFatalError([&] { order.push_back("rollback"); });
    setFatalErrorExit([&](int code) {
        order.push_back("exit " + std::to_string(code));
        throw 0;
    });
    EXPECT_THROW(reportFatalError(Error(3044, "DAO.Database", "'X:\\a.mdb' is not a valid path.")), int);
    ASSERT_EQ(d->shown().size(), 1u);
    EXPECT_EQ(d->shown()[0].prompt, "Run-time error '3044':\n\n'X:\\a.mdb' is not a valid path.");
    EXPECT_EQ(order, (std::vector<std::string>{"rollback", "exit 1"}));
}
