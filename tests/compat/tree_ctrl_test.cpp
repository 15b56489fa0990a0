#include "compat/tree_ctrl.h"

#include <gtest/gtest.h>

namespace {

TEST(TreeCtrl, InsertsLastUnderTheParentAndDeletesSubtrees) {
    CTreeCtrl tree;
    HTREEITEM a = tree.InsertItem("A", 1, 2);
    HTREEITEM b = tree.InsertItem("B", 3, 3);
    HTREEITEM a1 = tree.InsertItem("A1", 4, 5, a);
    HTREEITEM a2 = tree.InsertItem("A2", 6, 6, a);
    HTREEITEM a11 = tree.InsertItem("A11", 7, 7, a1);
    ASSERT_NE(a11, nullptr);
    EXPECT_EQ(tree.GetCount(), 5);
    EXPECT_EQ(tree.GetChildren(TVI_ROOT), (std::vector<HTREEITEM>{a, b}));
    EXPECT_EQ(tree.GetChildren(a), (std::vector<HTREEITEM>{a1, a2}));
    EXPECT_EQ(tree.GetParentItem(a2), a);
    EXPECT_TRUE(tree.ItemHasChildren(a));
    EXPECT_FALSE(tree.ItemHasChildren(b));
    int image = 0, selected = 0;
    EXPECT_TRUE(tree.GetItemImage(a, image, selected));
    EXPECT_EQ(image, 1);
    EXPECT_EQ(selected, 2);
    EXPECT_TRUE(tree.SetItemData(a2, 42));
    EXPECT_EQ(tree.GetItemData(a2), 42u);
    EXPECT_STREQ(tree.GetItemText(a1), "A1");

    EXPECT_TRUE(tree.DeleteItem(a1));
    EXPECT_EQ(tree.GetCount(), 3);
    EXPECT_EQ(tree.GetChildren(a), (std::vector<HTREEITEM>{a2}));
    // Handles of deleted items are refused, not followed.
    EXPECT_FALSE(tree.SetItemData(a11, 1));
    EXPECT_FALSE(tree.DeleteItem(a11));
    EXPECT_EQ(tree.InsertItem("X", 0, 0, a1), nullptr);
    EXPECT_FALSE(tree.GetItemImage(a1, image, selected));
    EXPECT_TRUE(tree.DeleteAllItems());
    EXPECT_EQ(tree.GetCount(), 0);
    EXPECT_FALSE(tree.ItemHasChildren(TVI_ROOT));

    // An item made after a deletion does not take over the deleted item's handle.
    const HTREEITEM gone = tree.InsertItem("Gone", 0, 0);
    ASSERT_TRUE(tree.DeleteItem(gone));
    EXPECT_NE(tree.InsertItem("Next", 0, 0), gone);
    EXPECT_FALSE(tree.SetItemData(gone, 1));
}

}  // namespace
