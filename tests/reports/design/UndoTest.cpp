#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/design/StructureEdits.h"
#include "tests/reports/design/DesignTestSupport.h"

using namespace verolux::reports;
using namespace verolux::reports::design;
using designtest::LoadSample;

namespace {

const ItemRef kFirstDetailItem{BandRef{BandSlot::Detail}, 0};

} // namespace

TEST(DesignUndo, AStepThatChangesNothingIsNotRecorded) {
    DesignDocument doc(LoadSample("orders.grf"));
    EXPECT_FALSE(MoveItems(doc, {kFirstDetailItem}, 0, 0));
    EXPECT_FALSE(SetBandHeight(doc, BandRef{BandSlot::Detail}, doc.tmpl().detail.height));
    EXPECT_FALSE(doc.steps().canUndo());
    EXPECT_FALSE(doc.modified());
}

TEST(DesignUndo, ModifiedFollowsTheSavedStep) {
    DesignDocument doc(LoadSample("orders.grf"));
    ASSERT_TRUE(MoveItems(doc, {kFirstDetailItem}, 1, 0));
    EXPECT_TRUE(doc.modified());
    doc.setModified(false); // saved here
    ASSERT_TRUE(doc.undo());
    EXPECT_TRUE(doc.modified()) << "undoing past the save differs from the file";
    ASSERT_TRUE(doc.redo());
    EXPECT_FALSE(doc.modified());
    ASSERT_TRUE(doc.undo());
    ASSERT_TRUE(MoveItems(doc, {kFirstDetailItem}, 0, 1));
    EXPECT_FALSE(doc.steps().canRedo()) << "a new step ends the branch that was undone";
    EXPECT_TRUE(doc.modified()) << "as many steps as when saved, but other ones";
    ASSERT_TRUE(doc.undo());
    EXPECT_TRUE(doc.modified()) << "the saved state was dropped with the redo branch";
}

TEST(DesignUndo, UndoRestoresTheSelectionOfTheStep) {
    DesignDocument doc(LoadSample("orders.grf"));
    doc.select({kFirstDetailItem});
    ASSERT_TRUE(DeleteItems(doc, doc.selection()));
    EXPECT_TRUE(doc.selection().empty());
    ASSERT_TRUE(doc.undo());
    EXPECT_EQ(doc.selection(), std::vector<ItemRef>{kFirstDetailItem});
}

TEST(DesignUndo, ReorderedItemsStaySelectedWhereTheyWent) {
    DesignDocument doc(LoadSample("orders.grf"));
    ASSERT_TRUE(BringToFront(doc, {kFirstDetailItem}));
    EXPECT_EQ(doc.selection(), (std::vector<ItemRef>{{BandRef{BandSlot::Detail}, 6}}));
    ASSERT_TRUE(SendToBack(doc, doc.selection()));
    EXPECT_EQ(doc.selection(), std::vector<ItemRef>{kFirstDetailItem});
}
