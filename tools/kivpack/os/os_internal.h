// What the two sides of the seam share: the list of temporaries being
// written, which an interruption removes, and the temporaries' names.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace kivpack {
namespace os {

// Temporaries being written, in the system's own form of a path, for a
// handler that may run at any moment (a POSIX signal, or the Windows console
// handler's thread) and may call only the system's file removal. A slot is
// claimed by setting `used`, filled, then published by `ready`; the handler
// reads published slots only. With every slot in use a temporary is not
// listed, and is still removed on every other path.
template <typename Char, unsigned Length>
class PendingList {
public:
    int Claim(const std::basic_string<Char>& path)
    {
        if (path.size() >= Length) return -1;
        for (int i = 0; i < Slots; ++i) {
            bool expected = false;
            if (!slots_[i].used.compare_exchange_strong(expected, true)) continue;
            std::memcpy(slots_[i].path, path.c_str(), (path.size() + 1) * sizeof(Char));
            slots_[i].ready.store(true);
            return i;
        }
        return -1;
    }
    void Release(int& slot)
    {
        if (slot < 0) return;
        slots_[slot].ready.store(false);
        slots_[slot].used.store(false);
        slot = -1;
    }
    template <typename Remove>
    void RemoveAll(Remove remove)
    {
        for (Slot& s : slots_)
            if (s.ready.load()) remove(s.path);
    }

private:
    static const int Slots = 64;
    struct Slot {
        std::atomic<bool> used{false};
        std::atomic<bool> ready{false};
        Char path[Length];
    };
    Slot slots_[Slots];
};

// Twelve random letters and digits, for a temporary's name.
std::string RandomName();

// The file calls under OutputFile, one side each. CreateNewFile makes `path`
// new (never opening what is there) and lists it for an interruption; it
// fails with `exists` when the name is taken. RemoveTemporary deletes a
// closed temporary and takes it off the list; ForgetTemporary only takes it
// off (once it is the target).
bool CreateNewFile(const std::string& path, std::intptr_t& handle, int& slot, bool& exists, std::string& reason);
bool WriteSome(std::intptr_t handle, const char* data, std::size_t size, std::size_t& written, std::string& reason);
// Reads or writes at a file offset; `done` may fall short of `size` (0 at the
// end of the file, for a read).
bool ReadSomeAt(std::intptr_t handle, std::uint64_t offset, char* data, std::size_t size, std::size_t& done,
                std::string& reason);
bool WriteSomeAt(std::intptr_t handle, std::uint64_t offset, const char* data, std::size_t size, std::size_t& done,
                 std::string& reason);
bool CloseFile(std::intptr_t handle, std::string& reason);
bool RenameOver(const std::string& from, const std::string& to, std::string& reason);  // replacing `to`
void RemoveTemporary(const std::string& path, int& slot);
void ForgetTemporary(int& slot);

} // namespace os
} // namespace kivpack
