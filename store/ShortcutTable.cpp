#include "store/ShortcutTable.h"

#include "win/Text.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace pw {

namespace {

bool PathLess(const std::string& a, const std::string& b) {
    const std::wstring wa = Wide(a), wb = Wide(b);
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.data(),
                          static_cast<int>(wa.size()), wb.data(),
                          static_cast<int>(wb.size())) == CSTR_LESS_THAN;
}

} // namespace

ShortcutTable::ShortcutTable(PressedHandler onShortcutPressed)
    : onShortcutPressed_(std::move(onShortcutPressed)) {}

ShortcutTable::~ShortcutTable() {
    ReleaseAll();
}

std::unique_ptr<HotkeyBinding> ShortcutTable::NewBinding(KeyCombination key) {
    auto binding = std::make_unique<HotkeyBinding>();
    binding->SetKey(key); // a non-zero key registers here
    return binding;
}

bool ShortcutTable::AddShortcut(const std::string& path, KeyCombination key) {
    auto binding = NewBinding(key);
    if (!binding->Registered() && key != 0)
        return false; // the binding is freed here: its window and any registration go
    Insert(path, std::move(binding));
    return true;
}

void ShortcutTable::AddStored(const StoredShortcut& stored) {
    Insert(stored.path, NewBinding(stored.key));
}

void ShortcutTable::Delete(int index) {
    if (index < 0 || index >= Count())
        return;
    entries_[index]->binding.reset();
    entries_.erase(entries_.begin() + index);
}

void ShortcutTable::SetPath(int index, const std::string& path) {
    if (index < 0 || index >= Count())
        return;
    std::unique_ptr<Entry> entry = std::move(entries_[index]);
    entries_.erase(entries_.begin() + index);
    entry->path = path;
    entries_.insert(entries_.begin() + InsertionPoint(entry->path), std::move(entry));
}

std::vector<StoredShortcut> ShortcutTable::Stored() const {
    std::vector<StoredShortcut> stored;
    stored.reserve(entries_.size());
    for (const auto& entry : entries_)
        stored.push_back({entry->path, entry->binding->Key()});
    return stored;
}

void ShortcutTable::ReleaseAll() {
    for (auto& entry : entries_)
        entry->binding.reset();
    entries_.clear();
}

int ShortcutTable::InsertionPoint(const std::string& path) const {
    // A saved file is sorted: its entries load in order, each after the last.
    if (Count() > 0 && PathLess(entries_.back()->path, path))
        return Count();
    int low = 0, high = Count();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (PathLess(entries_[mid]->path, path))
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

void ShortcutTable::Insert(std::string path, std::unique_ptr<HotkeyBinding> binding) {
    auto entry = std::make_unique<Entry>(Entry{std::move(path), std::move(binding)});
    entry->binding->OnPressed = [this, pressed = entry.get()] {
        // A copy: the handler may run a loop in which the entry goes.
        const std::string folder = pressed->path;
        if (onShortcutPressed_)
            onShortcutPressed_(folder);
    };
    const int at = InsertionPoint(entry->path);
    entries_.insert(entries_.begin() + at, std::move(entry));
}

int ShortcutTable::RetryRefused() {
    int nowHeld = 0;
    for (auto& e : entries_) {
        if (!e->binding->Refused())
            continue;
        e->binding->Retry();
        nowHeld += e->binding->Registered() ? 1 : 0;
    }
    return nowHeld;
}

int ShortcutTable::RefusedCount() const {
    return static_cast<int>(std::count_if(entries_.begin(), entries_.end(),
                                          [](const auto& e) { return e->binding->Refused(); }));
}

} // namespace pw
