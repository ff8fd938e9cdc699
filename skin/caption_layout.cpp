#include "skin/caption_layout.h"

#include <cmath>

namespace varnel {

namespace {

// Rounds to the nearest whole number, halves to the even neighbour, whatever
// rounding mode the floating-point unit is in.
double RoundHalfEven(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction > 0.5) {
        return below + 1.0;
    }
    if (fraction < 0.5) {
        return below;
    }
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

} // namespace

// ------------------------------------------------------------- button row

double CaptionButtonRow::Right(CaptionButton button) const {
    switch (button) {
    case CaptionButton::Close:
        return surfaceWidth - fromRight;
    case CaptionButton::MaxRestore:
        return Left(CaptionButton::Close) - iconSpace;
    case CaptionButton::Minimise:
        return Left(CaptionButton::MaxRestore) - iconSpace;
    case CaptionButton::OnTop:
        return Left(CaptionButton::Minimise) - iconSpace;
    }
    return 0.0;
}

double CaptionButtonRow::Left(CaptionButton button) const {
    switch (button) {
    case CaptionButton::Close:
        return Right(button) - closeWidth;
    case CaptionButton::MaxRestore:
        return Right(button) - maxWidth;
    case CaptionButton::Minimise:
        return Right(button) - minWidth;
    case CaptionButton::OnTop:
        return Right(button) - onTopWidth;
    }
    return 0.0;
}

int CaptionButtonRow::PlacedLeft(CaptionButton button) const {
    return static_cast<int>(RoundHalfEven(Left(button)));
}

bool CaptionButtonRow::Contains(CaptionButton button, float x, const DeviceGrid& grid) const {
    double left = Left(button);
    double right = Right(button);
    if (!grid.Whole()) {
        const int placed = PlacedLeft(button);
        left = grid.SnapX(placed);
        right = grid.SnapX(placed + (Right(button) - Left(button)));
    }
    return static_cast<float>(left) < x && x < static_cast<float>(right);
}

// ------------------------------------------------------------------ hover

CaptionHoverAt HoverAt(const CaptionButtonRow& row, CaptionStyle style, bool showOnTop, float x,
                       const DeviceGrid& grid) {
    const auto at = [](bool reacts, CaptionButton button) {
        return CaptionHoverAt{reacts ? CaptionHover::Button : CaptionHover::Inert, button};
    };
    if (row.Contains(CaptionButton::Close, x, grid)) {
        return at(style != CaptionStyle::NoClose, CaptionButton::Close);
    }
    if (row.Contains(CaptionButton::MaxRestore, x, grid)) {
        return at(style != CaptionStyle::NoMaximise && style != CaptionStyle::CloseOnly,
                  CaptionButton::MaxRestore);
    }
    if (row.Contains(CaptionButton::Minimise, x, grid)) {
        return at(style != CaptionStyle::CloseOnly, CaptionButton::Minimise);
    }
    if (row.Contains(CaptionButton::OnTop, x, grid)) {
        return at(showOnTop, CaptionButton::OnTop);
    }
    return {};
}

// ---------------------------------------------------------------- looks

SkinPicture ButtonPicture(CaptionButton button, ButtonLook look, bool maximized) {
    switch (button) {
    case CaptionButton::Close:
        return look == ButtonLook::Hot       ? SkinPicture::Close3
               : look == ButtonLook::Pressed ? SkinPicture::Close2
                                             : SkinPicture::Close;
    case CaptionButton::MaxRestore:
        if (maximized) {
            return look == ButtonLook::Hot       ? SkinPicture::Res2
                   : look == ButtonLook::Pressed ? SkinPicture::Res3
                                                 : SkinPicture::Res1;
        }
        return look == ButtonLook::Hot       ? SkinPicture::Max3
               : look == ButtonLook::Pressed ? SkinPicture::Max2
                                             : SkinPicture::Max;
    case CaptionButton::Minimise:
        return look == ButtonLook::Hot       ? SkinPicture::Min3
               : look == ButtonLook::Pressed ? SkinPicture::Min2
                                             : SkinPicture::Min;
    case CaptionButton::OnTop:
        break;
    }
    return SkinPicture::OnTop1;
}

SkinPicture OnTopPicture(bool onTop) {
    return onTop ? SkinPicture::OnTop3 : SkinPicture::OnTop1;
}

int ButtonRowLeft(const CaptionButtonRow& row, const CaptionButtonsShown& shown) {
    if (shown.showOnTop && row.onTopWidth > 0) {
        return row.PlacedLeft(CaptionButton::OnTop);
    }
    if (shown.controlBox) {
        if (!shown.closeOnly && row.minWidth > 0) {
            return row.PlacedLeft(CaptionButton::Minimise);
        }
        if (!shown.closeOnly && row.maxWidth > 0) {
            return row.PlacedLeft(CaptionButton::MaxRestore);
        }
        if (row.closeWidth > 0) {
            return row.PlacedLeft(CaptionButton::Close);
        }
    }
    return static_cast<int>(row.surfaceWidth) - row.fromRight;
}

} // namespace varnel
