#include "LightRepEx.h"

TLRImage::TLRImage(TLRControl* owner) : TCustomLRItem(owner) {}

void TLRImage::SetPicture(const TLRPicture* picture) {
    if (!picture || !picture->Graphic()) {
        FPicture.Clear();
        return;
    }
    const TLRGraphic* g = picture->Graphic();
    if (!dynamic_cast<const TLRBitmap*>(g) && !dynamic_cast<const TLRJPEGImage*>(g) &&
        !dynamic_cast<const TDibImage*>(g))
        throw Exception(LRImageKindMessage);
    FPicture.Assign(*picture);
}

void TLRImage::Print(TLRCanvas& canvas, const TRect& rect, TPrintStatus status, double scale) {
    const TLRGraphic* graphic = FPicture.Graphic();
    if (status != stPrint || !graphic || graphic->Empty())
        return;
    TLRBitmap bitmap;
    bitmap.Assign(*graphic);
    if (canvas.IsPrinter()) {
        TRect r = rect;
        if (!FStretch) {
            // Without Stretch one report unit is one picture pixel, cut to the item.
            if (bitmap.Width() <= r.Width())
                r.Right = r.Left + bitmap.Width();
            else
                bitmap.SetWidth(r.Width());
            if (bitmap.Height() <= r.Height())
                r.Bottom = r.Top + bitmap.Height();
            else
                bitmap.SetHeight(r.Height());
        }
        if (bitmap.Empty())
            return;
        const QRect dest(QPoint(Trunc(r.Left * scale), Trunc(r.Top * scale)),
                         QPoint(Trunc(r.Right * scale) - 1, Trunc(r.Bottom * scale) - 1));
        canvas.Printer()->StretchDIBits(dest, bitmap.ToImage());
    } else {
        const TRect d = Rect(Round(rect.Left * scale), Round(rect.Top * scale),
                             Round(rect.Right * scale), Round(rect.Bottom * scale));
        canvas.StretchDraw(d, bitmap.Image());
    }
}

void FitLRImage(TLRImage* item, const TRect& rect) {
    if (!item)
        return;
    const int pw = item->Picture().Width(), ph = item->Picture().Height();
    if (pw <= 0 || ph <= 0)
        return;
    const float rw = float(rect.Width()), rh = float(rect.Height());
    float s = rw / float(pw);
    const float sv = rh / float(ph);
    if (sv < s)
        s = sv;
    const int w = Round(double(float(pw) * s));
    const int h = Round(double(float(ph) * s));
    const int left = Round(double(float(rect.Left) + (rw - float(w)) / 2.0f));
    const int top = Round(double(float(rect.Top) + (rh - float(h)) / 2.0f));
    item->SetBounds(left, top, w, h);
}
