#include "dialogs/layout.h"

#include <algorithm>
#include <limits>

namespace tvn {

namespace {

std::int32_t Clamp32(std::int64_t value) {
  const std::int64_t low = std::numeric_limits<std::int32_t>::min();
  const std::int64_t high = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::min(high, std::max(low, value)));
}

}  // namespace

AxisPlacement PlaceOnAxis(AnchorRule rule, std::int32_t position, std::int32_t extent, std::int32_t newClient,
                          std::int32_t initialClient) {
  // 64-bit intermediates: the operands come from the window system and a
  // hostile template or message must not overflow the arithmetic.
  const std::int64_t growth = static_cast<std::int64_t>(newClient) - initialClient;
  switch (rule) {
    case AnchorCentre: {
      const std::int64_t centred = static_cast<std::int64_t>(newClient / 2) - extent / 2;
      return {Clamp32(std::max<std::int64_t>(position, centred)), extent};
    }
    case AnchorMove: return {Clamp32(std::max<std::int64_t>(position, position + growth)), extent};
    case AnchorStretch: return {position, Clamp32(std::max<std::int64_t>(extent, extent + growth))};
    case AnchorFixed:
    default: return {position, extent};
  }
}

std::int32_t CentredOrigin(std::int32_t screen, std::int32_t size) {
  return Clamp32(static_cast<std::int64_t>(screen / 2) - size / 2);
}

void DialogLayout::Bind(WindowId dialog, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
  entries_.clear();
  dialog_ = dialog;
  bound_ = true;

  // Both rectangles are read before the window moves.
  initialWindow_ = LayoutRect();
  initialClient_ = LayoutRect();
  if (!ops_->WindowRect(dialog, initialWindow_)) initialWindow_ = LayoutRect();
  if (!ops_->ClientRect(dialog, initialClient_)) initialClient_ = LayoutRect();

  const LayoutSize current = InitialWindowSize();
  if (width == -1) width = current.width;
  if (height == -1) height = current.height;
  if (x == -1) x = CentredOrigin(ops_->ScreenWidth(), width);
  if (y == -1) y = CentredOrigin(ops_->ScreenHeight(), height);
  ops_->Place(dialog, x, y, width, height);
}

void DialogLayout::AddControl(int controlId, AnchorRule horizontal, AnchorRule vertical) {
  if (!bound_) return;
  LayoutEntry entry;
  entry.horizontal = horizontal;
  entry.vertical = vertical;

  std::uint32_t error = 0;
  const WindowId control = ops_->ChildById(dialog_, controlId);
  if (control == 0) {
    error = ops_->LastError();
  } else {
    LayoutRect rect;
    std::int32_t cornerX = 0;
    std::int32_t cornerY = 0;
    if (!ops_->WindowRect(control, rect)) {
      error = ops_->LastError();
    } else {
      cornerX = rect.left;
      cornerY = rect.top;
      if (!ops_->ScreenToClient(dialog_, cornerX, cornerY)) error = ops_->LastError();
    }
    if (error == 0) {
      entry.control = control;
      entry.x = cornerX;
      entry.y = cornerY;
      entry.width = Clamp32(static_cast<std::int64_t>(rect.right) - rect.left);
      entry.height = Clamp32(static_cast<std::int64_t>(rect.bottom) - rect.top);
    }
  }
  // A control whose rectangle cannot be read is registered without a control
  // as well: laying it out from an unknown rectangle would throw it off.
  entries_.insert(entries_.begin(), entry);
  ops_->SetLastError(error);
}

void DialogLayout::Resize(std::int32_t clientWidth, std::int32_t clientHeight) {
  if (!bound_) return;
  std::uint32_t error = 0;
  for (const LayoutEntry& entry : entries_) {
    if (entry.control == 0) continue;
    const AxisPlacement h = PlaceOnAxis(entry.horizontal, entry.x, entry.width, clientWidth, initialClient_.right);
    const AxisPlacement v = PlaceOnAxis(entry.vertical, entry.y, entry.height, clientHeight, initialClient_.bottom);
    if (!ops_->Place(entry.control, h.position, v.position, h.extent, v.extent)) error = ops_->LastError();
  }
  if (!ops_->InvalidateAll(dialog_)) error = ops_->LastError();
  ops_->SetLastError(error);
}

LayoutSize DialogLayout::InitialWindowSize() const {
  return {Clamp32(static_cast<std::int64_t>(initialWindow_.right) - initialWindow_.left),
          Clamp32(static_cast<std::int64_t>(initialWindow_.bottom) - initialWindow_.top)};
}

void DialogLayout::Release() {
  std::vector<LayoutEntry>().swap(entries_);
  bound_ = false;
}

}  // namespace tvn
