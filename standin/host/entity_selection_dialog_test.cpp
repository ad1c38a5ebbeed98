#include "standin/host/entity_selection_dialog.h"

#include <gtest/gtest.h>

#include "common/testing/wx_test_support.h"
#include "standin/host/part_file.h"

namespace rigwright::standin {
namespace {

TEST(EntitySelectionDialogTest, OffersTheMasksKindsAndPicksSeveralAtOnce) {
  std::string error;
  auto part = LoadPartFile(RIGWRIGHT_SOURCE_DIR "/data/sample-part.json", &error);
  ASSERT_TRUE(part) << error;
  auto* dialog = new EntitySelectionDialog(nullptr, *part, "Select solids", 0x100);
  dialog->Show();
  rigwright::testing::LetWindowsSettle(100);

  EXPECT_EQ(dialog->RowCount(), 7) << "the seven entities of kind 0x100";
  dialog->SelectIds({101, 103, 201});
  EXPECT_EQ(dialog->PickedIds(), (std::vector<std::int32_t>{101, 103}))
      << "201 is of another kind and not offered";
  dialog->Destroy();
}

}  // namespace
}  // namespace rigwright::standin
