#pragma once
// An ordered, owning list of entries (records) with a key search, and iterators over it.
//
// The list keeps its entries in a vector of slots in list order. Removing an entry leaves
// an empty slot that iterators and searches step over; moving an entry to the end empties
// its slot and appends it. Empty slots are squeezed out now and then, never while an
// iterator is alive, so removing entries during a walk is safe. An iterator position is a
// slot position.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

class TThEntryBase;

class TThEntry {
public:
    explicit TThEntry(TThEntryBase* owner) : FOwner(owner) {}
    virtual ~TThEntry() = default;
    TThEntry(const TThEntry&) = delete;
    TThEntry& operator=(const TThEntry&) = delete;

    // Copies the key from another entry.
    virtual void Assign(const TThEntry& source) = 0;
    // Whether this entry answers the key.
    virtual bool IsMatch(const TThEntry& key) const = 0;
    virtual void ToText(QByteArray& line) const = 0;
    // Fills the entry from a line; false when the line holds no record of this kind.
    virtual bool FromText(const QByteArray& line) = 0;

    TThEntryBase* Owner() const { return FOwner; }
    // Position in the owner's slots; -1 when not in a list.
    qsizetype Slot() const { return FSlot; }

private:
    friend class TThEntryBase;
    TThEntryBase* FOwner;
    qsizetype FSlot = -1;
};

class TThEntryBase {
public:
    TThEntryBase() = default;
    virtual ~TThEntryBase();
    TThEntryBase(const TThEntryBase&) = delete;
    TThEntryBase& operator=(const TThEntryBase&) = delete;

    // Frees every entry.
    virtual void Clear();
    // Appends the entry and takes ownership.
    virtual void Add(TThEntry* entry);
    // Takes the entry out of the list and frees it.
    virtual void Remove(TThEntry* entry);
    // Walks from the last entry to the first and returns the first that matches the key;
    // SearchSteps counts the entries rejected before it.
    virtual TThEntry* Find(const TThEntry& key);

    int Count() const { return int(FLive); }
    // The entry used longest ago, or none.
    TThEntry* First();
    // The most recently used entry, or none.
    TThEntry* Last();

    int32_t SearchSteps = 0;

    // Slot access for the iterators.
    qsizetype SlotCount() const { return qsizetype(FSlots.size()); }
    TThEntry* SlotItem(qsizetype slot) const { return FSlots[size_t(slot)]; }
    // Number of entries after the one in the given slot (later in list order).
    int CountAfter(qsizetype slot) const;

protected:
    // Takes the entry out and appends it again.
    void MoveEntryToEnd(TThEntry* entry);
    // Called after an entry came into the list and before one leaves it.
    virtual void Added(TThEntry*) {}
    virtual void Removing(TThEntry*) {}

private:
    friend class TThEntryIteratorBase;
    void Detach(TThEntry* entry);
    void Append(TThEntry* entry);
    void Compact();

    std::vector<TThEntry*> FSlots;
    qsizetype FLive = 0;
    qsizetype FHead = 0; // no live entry lies before this slot
    int FIterators = 0;
};

// Common part of the iterators: keeps the list from squeezing its slots while alive.
class TThEntryIteratorBase {
public:
    explicit TThEntryIteratorBase(TThEntryBase& list);
    virtual ~TThEntryIteratorBase();
    TThEntryIteratorBase(const TThEntryIteratorBase&) = delete;
    TThEntryIteratorBase& operator=(const TThEntryIteratorBase&) = delete;

    virtual void First() = 0;
    virtual bool Next() = 0;
    // The entry at the position; raises "Index=%d 不正。..." when there is none.
    TThEntry* CurrentItem() const;
    qsizetype Position() const { return FPosition; }

protected:
    TThEntryBase& FList;
    qsizetype FPosition = -1;
};

class TThEntryIterator : public TThEntryIteratorBase {
public:
    explicit TThEntryIterator(TThEntryBase& list) : TThEntryIteratorBase(list) { First(); }
    void First() override;
    bool Next() override;
};

// The one to use when entries are removed during the walk.
class TThEntryReverseIterator : public TThEntryIteratorBase {
public:
    explicit TThEntryReverseIterator(TThEntryBase& list) : TThEntryIteratorBase(list) { First(); }
    void First() override;
    bool Next() override;
};
