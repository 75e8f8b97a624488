// The process-local atom table of the host, with the rules of the system's:
// - Text "#N" with N decimal digits only is an integer atom: N taken modulo
//   65536 must lie in 1..0xBFFF, and the atom is N itself; nothing is stored
//   and deleting it does nothing. "#0", "#49152" and above fail; "#12x",
//   "#" and "# 1" are ordinary names.
// - Other text of 1 to 255 characters is a string atom, a handle in
//   0xC000..0xFFFF. Names match without regard to case and read back in the
//   first spelling. Every AtomAdd adds a reference and every AtomDelete
//   releases one; the last release frees the handle, and a freed handle is
//   the next one handed out (most recently freed first).
// - Empty text, text over 255 characters and a full table fail with 0. The
//   table holds at most kHostAtomTableSize string atoms, one per handle.
// - References are counted in 32 bits. The system counts them in 16 bits
//   and, under Wine, wraps at 65536, freeing an atom that still has
//   holders; here each reference is always released separately.
#include <cstdint>
#include <cstdio>
#include <unordered_map>
#include <vector>

#include "platform/host/host_internal.h"
#include "platform/host/host_platform.h"
#include "platform/platform.h"

namespace {

const unsigned kFirstStringAtom = 0xC000;
const unsigned kMaxAtomLength = 255;

struct AtomSlot {
    std::string name;      // empty when the slot is free
    std::u16string key;    // the folded name the table is searched by
    uint32_t references;
};

struct AtomTable {
    std::vector<AtomSlot> slots;              // index = handle - 0xC000
    std::vector<unsigned> freed;              // freed indexes, last freed last
    std::unordered_map<std::u16string, unsigned> byKey;
    unsigned live = 0;
};

AtomTable& Table()
{
    static AtomTable table;
    return table;
}

std::u16string FoldedKey(const char* text)
{
    std::u16string key = WidenAnsi(text);
    for (char16_t& c : key) c = FoldCase(c);
    return key;
}

// 0 when `text` is not of the integer form; otherwise the atom, or 0xFFFF
// for an integer form out of range (which fails).
unsigned IntegerAtom(const char* text)
{
    if (text[0] != '#' || !text[1]) return 0;
    unsigned value = 0;
    for (const char* p = text + 1; *p; ++p) {
        if (*p < '0' || *p > '9') return 0;
        value = (value * 10 + (unsigned)(*p - '0')) & 0xFFFF;
    }
    return (value == 0 || value >= kFirstStringAtom) ? 0xFFFF : value;
}

AtomSlot* LiveSlot(AtomHandle atom)
{
    AtomTable& table = Table();
    if (atom < kFirstStringAtom) return nullptr;
    unsigned index = atom - kFirstStringAtom;
    if (index >= table.slots.size() || table.slots[index].references == 0) return nullptr;
    return &table.slots[index];
}

}   // namespace

AtomHandle AtomAdd(const char* text)
{
    if (!text) return 0;
    unsigned length = 0;
    while (text[length] && length <= kMaxAtomLength) ++length;
    if (length == 0 || length > kMaxAtomLength) return 0;

    unsigned integer = IntegerAtom(text);
    if (integer == 0xFFFF) return 0;
    if (integer) return (AtomHandle)integer;

    AtomTable& table = Table();
    std::u16string key = FoldedKey(text);
    auto existing = table.byKey.find(key);
    if (existing != table.byKey.end()) {
        ++table.slots[existing->second].references;
        return (AtomHandle)(kFirstStringAtom + existing->second);
    }

    unsigned index;
    if (!table.freed.empty()) {
        index = table.freed.back();
        table.freed.pop_back();
    } else if (table.slots.size() < kHostAtomTableSize) {
        index = (unsigned)table.slots.size();
        table.slots.push_back(AtomSlot());
    } else {
        return 0;
    }
    table.slots[index] = AtomSlot{text, key, 1};
    table.byKey[key] = index;
    ++table.live;
    return (AtomHandle)(kFirstStringAtom + index);
}

unsigned AtomGetName(AtomHandle atom, char* buffer, unsigned size)
{
    if (!atom || !buffer || size == 0) return 0;
    char number[8];
    const char* name;
    if (atom < kFirstStringAtom) {
        std::snprintf(number, sizeof number, "#%u", (unsigned)atom);
        name = number;
    } else {
        AtomSlot* slot = LiveSlot(atom);
        if (!slot) return 0;   // the buffer is left as it was, as the system does
        name = slot->name.c_str();
    }
    unsigned n = 0;
    while (name[n] && n + 1 < size) {
        buffer[n] = name[n];
        ++n;
    }
    buffer[n] = 0;
    return n;
}

void AtomDelete(AtomHandle atom)
{
    AtomSlot* slot = LiveSlot(atom);
    if (!slot || --slot->references != 0) return;
    AtomTable& table = Table();
    table.byKey.erase(slot->key);
    slot->name.clear();
    slot->key.clear();
    table.freed.push_back(atom - kFirstStringAtom);
    --table.live;
}

unsigned HostLiveAtomCount() { return Table().live; }

void HostResetAtoms()
{
    AtomTable& table = Table();
    table.slots.clear();
    table.freed.clear();
    table.byKey.clear();
    table.live = 0;
}
