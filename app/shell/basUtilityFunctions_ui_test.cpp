#include "basUtilityFunctions_ui.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <gtest/gtest.h>

using namespace basUtilityFunctions;

namespace {
void fill(QListWidget& list, std::initializer_list<const char*> items) {
    for (const char* i : items)
        list.addItem(i);
}
} // namespace

TEST(ListRoutines, InClausesQuoteEveryValueSafely) {
    QListWidget list;
    list.setSelectionMode(QAbstractItemView::MultiSelection);
    fill(list, {"Acme", "Beta", "O\"Brien", "O'Hara"});
    EXPECT_EQ(BuildInClause(&list), "");
    list.item(0)->setSelected(true);
    list.item(2)->setSelected(true);
    list.item(3)->setSelected(true);
    EXPECT_EQ(BuildInClause(&list), "IN (\"Acme\",\"O\"\"Brien\",\"O'Hara\")");

    QListWidget single;
    single.setSelectionMode(QAbstractItemView::SingleSelection);
    fill(single, {"Acme", "Beta"});
    single.setCurrentRow(1);
    EXPECT_EQ(BuildInClause(&single), "IN (\"Beta\")");
    // The current item moved on without selecting: the clause names the selected one.
    single.setCurrentRow(0, QItemSelectionModel::NoUpdate);
    ASSERT_EQ(single.currentRow(), 0);
    EXPECT_EQ(BuildInClause(&single), "IN (\"Beta\")");

    QLineEdit notAList;
    EXPECT_EQ(BuildInClause(&notAList), "");
}

TEST(ListRoutines, SelectAllPublishesItsProgress) {
    QListWidget list;
    list.setSelectionMode(QAbstractItemView::MultiSelection);
    fill(list, {"a", "b", "c"});
    std::vector<int> seen;
    auto watch = QObject::connect(&list, &QListWidget::itemSelectionChanged, [&] {
        EXPECT_TRUE(gSelectAllActive);
        seen.push_back(gSelectAllPercent);
    });
    SelectAllListItems(list);
    EXPECT_EQ(list.selectedItems().size(), 3);
    EXPECT_EQ(gSelectAllPercent, 100);
    EXPECT_FALSE(gSelectAllActive);
    EXPECT_EQ(seen, (std::vector<int>{0, 33, 67})) << "each click sees the percent before its own item";
    QObject::disconnect(watch);
    ClearListSelection(list);
    EXPECT_TRUE(list.selectedItems().isEmpty());

    QListWidget empty;
    empty.setSelectionMode(QAbstractItemView::MultiSelection);
    SelectAllListItems(empty);
    EXPECT_EQ(gSelectAllPercent, 0);
}

TEST(CenterFormOver, StaysOnTheScreen) {
    QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget reference, window;
    window.resize(200, 100);
    reference.setGeometry(100, 100, 600, 400);
    CenterFormOver(window, reference);
    EXPECT_EQ(window.frameGeometry().center().x(), reference.frameGeometry().center().x());
    reference.setGeometry(-500, 100, 300, 300);
    CenterFormOver(window, reference);
    EXPECT_EQ(window.pos().x(), 0);
    reference.setGeometry(screen.width() - 100, 100, 300, 300);
    CenterFormOver(window, reference);
    EXPECT_EQ(window.pos().x() + window.frameGeometry().width(), screen.width());
}
