#pragma once
// Declares a page layout's component tree so that the code reads like the layout's
// component table: one line per component with its kind, name, parent and fixed
// properties. The report owns every component made here.
#include "LightRep.h"
#include "LightRepEx.h"

#include <functional>

class TLRBuilder {
public:
    // Starts loading the report; Finish ends it (the report then hides itself).
    explicit TLRBuilder(TLightRep* report) : FReport(report) { report->BeginLoad(); }

    TLightRep* Report() const { return FReport; }

    template <class T>
    T* Add(const QString& name, TLRWinControl* parent,
           const std::function<void(T&)>& init = nullptr) {
        T* c = new T(FReport);
        c->Name = name;
        if (parent)
            c->SetParent(parent);
        if (init)
            init(*c);
        return c;
    }

    TLRLayoutPanel* Layout(const QString& name, TLRWinControl* parent, TLRAlign align,
                           const std::function<void(TLRLayoutPanel&)>& init = nullptr) {
        return Add<TLRLayoutPanel>(name, parent, [&](TLRLayoutPanel& p) {
            p.SetLRAlign(align);
            if (init)
                init(p);
        });
    }

    TLRGridPanel* Grid(const QString& name, TLRWinControl* parent, TLRAlign align,
                       TPrintDirection direction, TPrintPanelEvent onPrintPanel = nullptr,
                       const std::function<void(TLRGridPanel&)>& init = nullptr) {
        return Add<TLRGridPanel>(name, parent, [&](TLRGridPanel& g) {
            g.SetLRAlign(align);
            g.PrintDirection = direction;
            g.OnPrintPanel = std::move(onPrintPanel);
            if (init)
                init(g);
        });
    }

    TLRItem* Item(const QString& name, TLRWinControl* parent,
                  const std::function<void(TLRItem&)>& init = nullptr) {
        return Add<TLRItem>(name, parent, init);
    }
    TLRItem2* Item2(const QString& name, TLRWinControl* parent,
                    const std::function<void(TLRItem2&)>& init = nullptr) {
        return Add<TLRItem2>(name, parent, init);
    }
    TLRImage* Image(const QString& name, TLRWinControl* parent,
                    const std::function<void(TLRImage&)>& init = nullptr) {
        return Add<TLRImage>(name, parent, init);
    }

    // Ends loading.
    void Finish() { FReport->Loaded(); }

private:
    TLightRep* FReport;
};

// Small setters for the fixed properties of the tables.
inline void Opaque(TCustomLRTextItem& item, TColor fill) {
    item.Transparent = false;
    item.SetColor(fill);
}
inline void Lines(TCustomLRTextItem& item, TColor color, TLineStyle top, TLineStyle left,
                  TLineStyle right, TLineStyle bottom) {
    item.LineColor = color;
    item.SetLines(top, left, right, bottom);
}
