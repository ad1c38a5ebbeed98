// The development host's colour table behind hostapi/host_colors.h.
#include "hostapi/host_colors.h"

#include "standin/host/host_state.h"

IColorTableManager::~IColorTableManager() = default;

namespace {

class PartColorTable final : public IColorTableManager {
 public:
  explicit PartColorTable(const rigwright::standin::ColorTable& table) : table_(table) {}
  int ColorCount() const override { return static_cast<int>(table_.size()); }
  std::uint32_t GetColorValue(int colorNumber) const override {
    if (colorNumber < 0 || colorNumber >= ColorCount()) return 0;
    return table_[static_cast<std::size_t>(colorNumber)];
  }

 private:
  rigwright::standin::ColorTable table_;  // a copy: the manager outlives a part change
};

}  // namespace

namespace Cnc {

std::shared_ptr<IColorTableManager> GetColorTableManager() {
  const auto& colors = rigwright::standin::CurrentHost().colors;
  if (!colors) return nullptr;
  return std::make_shared<PartColorTable>(*colors);
}

}  // namespace Cnc
