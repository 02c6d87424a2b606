#pragma once
// The picture item of the report layout model.
#include "LRGraphics.h"
#include "LightRep.h"

class TLRImage : public TCustomLRItem {
public:
    explicit TLRImage(TLRControl* owner);

    // The owned holder; jobs may fill or clear it directly.
    TLRPicture& Picture() { return FPicture; }
    const TLRPicture& Picture() const { return FPicture; }
    // Takes a copy of picture (null or empty clears). Only bitmaps, JPEG images and
    // device-independent bitmaps are accepted; anything else raises Exception and the
    // item keeps its picture.
    void SetPicture(const TLRPicture* picture);

    bool Stretch() const { return FStretch; }
    void SetStretch(bool value) { FStretch = value; }

    void Print(TLRCanvas& canvas, const TRect& rect, TPrintStatus status, double scale) override;

private:
    TLRPicture FPicture;
    bool FStretch = false;
};

// The message raised for a picture of another kind.
inline const QString LRImageKindMessage =
    QStringLiteral("イメージはビットマップかJPEGイメージのみ有効です");

// Places the item so that its picture keeps its proportions, centred in rect.
void FitLRImage(TLRImage* item, const TRect& rect);
