#include "CThEntryBase.h"

#include "services/CException.h"
#include "services/CThDebugLog.h"

TThEntryBase::~TThEntryBase() {
    for (TThEntry* e : FSlots)
        delete e;
}

void TThEntryBase::Clear() {
    for (TThEntry* e : FSlots)
        delete e;
    FSlots.clear();
    FLive = 0;
    FHead = 0;
}

void TThEntryBase::Append(TThEntry* entry) {
    if (FIterators == 0 && qsizetype(FSlots.size()) - FLive > qMax<qsizetype>(64, FLive))
        Compact();
    entry->FSlot = qsizetype(FSlots.size());
    FSlots.push_back(entry);
    ++FLive;
}

void TThEntryBase::Detach(TThEntry* entry) {
    const qsizetype slot = entry->FSlot;
    if (slot < 0 || slot >= qsizetype(FSlots.size()) || FSlots[size_t(slot)] != entry)
        return;
    FSlots[size_t(slot)] = nullptr;
    entry->FSlot = -1;
    --FLive;
    if (slot == qsizetype(FSlots.size()) - 1 && FIterators == 0) {
        while (!FSlots.empty() && !FSlots.back())
            FSlots.pop_back();
        FHead = qMin(FHead, qsizetype(FSlots.size()));
    }
}

void TThEntryBase::Compact() {
    size_t out = 0;
    for (TThEntry* e : FSlots)
        if (e) {
            e->FSlot = qsizetype(out);
            FSlots[out++] = e;
        }
    FSlots.resize(out);
    FHead = 0;
}

void TThEntryBase::Add(TThEntry* entry) {
    Append(entry);
    Added(entry);
}

void TThEntryBase::Remove(TThEntry* entry) {
    if (!entry || entry->FSlot < 0)
        return;
    Removing(entry);
    Detach(entry);
    delete entry;
}

void TThEntryBase::MoveEntryToEnd(TThEntry* entry) {
    if (entry->FSlot < 0)
        return;
    Detach(entry);
    Append(entry);
}

TThEntry* TThEntryBase::Find(const TThEntry& key) {
    SearchSteps = 0;
    for (qsizetype i = qsizetype(FSlots.size()) - 1; i >= 0; --i) {
        TThEntry* e = FSlots[size_t(i)];
        if (!e)
            continue;
        if (e->IsMatch(key))
            return e;
        ++SearchSteps;
    }
    return nullptr;
}

TThEntry* TThEntryBase::First() {
    while (FHead < qsizetype(FSlots.size()) && !FSlots[size_t(FHead)])
        ++FHead;
    return FHead < qsizetype(FSlots.size()) ? FSlots[size_t(FHead)] : nullptr;
}

TThEntry* TThEntryBase::Last() {
    for (qsizetype i = qsizetype(FSlots.size()) - 1; i >= 0; --i)
        if (FSlots[size_t(i)])
            return FSlots[size_t(i)];
    return nullptr;
}

int TThEntryBase::CountAfter(qsizetype slot) const {
    int n = 0;
    for (qsizetype i = slot + 1; i < qsizetype(FSlots.size()); ++i)
        if (FSlots[size_t(i)])
            ++n;
    return n;
}

TThEntryIteratorBase::TThEntryIteratorBase(TThEntryBase& list) : FList(list) {
    ++FList.FIterators;
}

TThEntryIteratorBase::~TThEntryIteratorBase() {
    --FList.FIterators;
}

TThEntry* TThEntryIteratorBase::CurrentItem() const {
    if (FPosition < 0 || FPosition >= FList.SlotCount() || !FList.SlotItem(FPosition))
        throw Exception(ThFormat(QStringLiteral("Index=%1 不正。%2"), FPosition,
                                 QStringLiteral("TThEntryIterator.CurrentItem")));
    return FList.SlotItem(FPosition);
}

void TThEntryIterator::First() {
    FPosition = -1;
}

bool TThEntryIterator::Next() {
    const qsizetype count = FList.SlotCount();
    do
        ++FPosition;
    while (FPosition < count && !FList.SlotItem(FPosition));
    if (FPosition > count)
        FPosition = count;
    return FPosition < count;
}

void TThEntryReverseIterator::First() {
    FPosition = FList.SlotCount();
}

bool TThEntryReverseIterator::Next() {
    if (FPosition > FList.SlotCount())
        FPosition = FList.SlotCount();
    do
        --FPosition;
    while (FPosition >= 0 && !FList.SlotItem(FPosition));
    if (FPosition < -1)
        FPosition = -1;
    return FPosition >= 0;
}
