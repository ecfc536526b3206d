// HotkeyBinding against the real RegisterHotKey: what a binding holds, when it
// retries, and that a pressed combination reaches OnHotKey.

#include "hotkey/HotkeyBinding.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace pw;

namespace {

// Combinations no desktop component of the test prefix uses.
constexpr KeyCombination kCtrlAltShiftF11 = 0xE07A;
constexpr KeyCombination kCtrlAltF12 = 0xC07B;
constexpr KeyCombination kCtrlAltJ = 0xC04A;

// True when the combination is free: a probe registration succeeds (and is undone).
bool IsFree(UINT mods, UINT vk) {
    if (!RegisterHotKey(nullptr, 0x7001, mods, vk))
        return false;
    UnregisterHotKey(nullptr, 0x7001);
    return true;
}

} // namespace

TEST(HotkeyBinding, ANewBindingIsEnabledWithoutKeyOrWindow) {
    HotkeyBinding binding;
    EXPECT_TRUE(binding.Enabled());
    EXPECT_EQ(binding.Key(), 0);
    EXPECT_FALSE(binding.Registered());
    binding.SetKey(0);         // unchanged: nothing at all
    binding.SetEnabled(false); // nothing held: no release
    binding.SetEnabled(false);
    EXPECT_EQ(binding.WindowHandle(), nullptr) << "no registration attempt, no window";
}

TEST(HotkeyBinding, HoldsItsCombinationUntilDisabledOrDestroyed) {
    auto binding = std::make_unique<HotkeyBinding>();
    binding->SetKey(kCtrlAltShiftF11);
    ASSERT_TRUE(binding->Registered());
    EXPECT_NE(binding->WindowHandle(), nullptr);
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11));

    binding->SetEnabled(false);
    EXPECT_FALSE(binding->Registered());
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11));

    binding->SetEnabled(true);
    EXPECT_TRUE(binding->Registered());
    binding.reset();
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11)) << "destruction releases";
}

TEST(HotkeyBinding, EveryBindingSharesOneWindowAndEachHearsOnlyItsOwnPress) {
    std::vector<std::unique_ptr<HotkeyBinding>> bindings;
    std::vector<int> presses(3, 0);
    const KeyCombination keys[] = {kCtrlAltShiftF11, kCtrlAltF12, kCtrlAltJ};
    for (int i = 0; i < 3; ++i) {
        bindings.push_back(std::make_unique<HotkeyBinding>());
        bindings[i]->OnHotKey = [&presses, i](HotkeyBinding&) { ++presses[i]; };
        bindings[i]->SetKey(keys[i]);
        ASSERT_TRUE(bindings[i]->Registered()) << i;
    }
    EXPECT_EQ(bindings[0]->WindowHandle(), bindings[1]->WindowHandle());
    EXPECT_EQ(bindings[1]->WindowHandle(), bindings[2]->WindowHandle());
    EXPECT_NE(bindings[0]->Id(), bindings[1]->Id());
    EXPECT_NE(bindings[1]->Id(), bindings[2]->Id());

    pwtest::TypeKey(VK_F12, true, true, false);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return presses[1] > 0; }, 5000)) << "no WM_HOTKEY";
    pwtest::PumpFor(200);
    EXPECT_EQ(presses, (std::vector<int>{0, 1, 0}));

    // A freed binding's id hears nothing more, the others still do.
    bindings[1].reset();
    pwtest::TypeKey(VK_F12, true, true, false);
    pwtest::TypeKey('J', true, true, false);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return presses[2] > 0; }, 5000));
    pwtest::PumpFor(200);
    EXPECT_EQ(presses, (std::vector<int>{0, 1, 1}));
}

TEST(HotkeyBinding, ASecondBindingIsRefusedAndOnlyEnabledTrueRetries) {
    auto first = std::make_unique<HotkeyBinding>();
    first->SetKey(kCtrlAltF12);
    ASSERT_TRUE(first->Registered());

    HotkeyBinding second;
    second.SetKey(kCtrlAltF12);
    EXPECT_FALSE(second.Registered()) << "the combination is taken";
    EXPECT_TRUE(second.Enabled()) << "a refusal leaves Enabled alone";

    first.reset();
    second.SetKey(kCtrlAltF12);
    EXPECT_FALSE(second.Registered()) << "writing the same key again is no retry";
    second.SetEnabled(true);
    EXPECT_TRUE(second.Registered()) << "writing Enabled true is the retry";
}

TEST(HotkeyBinding, ADisabledBindingOnlyStoresANewKey) {
    HotkeyBinding binding;
    binding.SetEnabled(false);
    binding.SetKey(kCtrlAltJ);
    EXPECT_FALSE(binding.Registered());
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT, 'J'));
    binding.SetEnabled(true);
    EXPECT_TRUE(binding.Registered());
}

TEST(HotkeyBinding, BitsEightToTwelveRegisterTheLowByteAndCountAsADifferentValue) {
    HotkeyBinding binding;
    binding.SetKey(static_cast<KeyCombination>(kCtrlAltJ | 0x0100));
    ASSERT_TRUE(binding.Registered());
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_ALT, 'J')) << "registered with the low byte";

    HotkeyBinding other;
    other.SetKey(kCtrlAltJ);
    EXPECT_FALSE(other.Registered());
    other.SetKey(0);
    binding.SetKey(kCtrlAltJ); // a different value: released and registered again
    EXPECT_TRUE(binding.Registered());
}

TEST(HotkeyBinding, APressedCombinationRaisesOnHotKeyWithTheBindingAsSender) {
    HotkeyBinding binding;
    binding.SetFolder("C:\\Some folder");
    HotkeyBinding* sender = nullptr;
    int calls = 0;
    binding.OnHotKey = [&](HotkeyBinding& s) {
        sender = &s;
        ++calls;
    };
    binding.SetKey(kCtrlAltShiftF11);
    ASSERT_TRUE(binding.Registered());

    pwtest::TypeKey(VK_F11, true, true, true);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return calls > 0; }, 5000)) << "no WM_HOTKEY arrived";
    EXPECT_EQ(sender, &binding);
    EXPECT_EQ(sender->Folder(), "C:\\Some folder");

    pwtest::TypeKey(VK_F11, true, true, true);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return calls > 1; }, 5000)) << "a second press is lost";
}

TEST(HotkeyBinding, ABindingMayBeFreedByItsOwnHandler) {
    auto binding = std::make_unique<HotkeyBinding>();
    bool fired = false;
    binding->OnHotKey = [&](HotkeyBinding&) {
        fired = true;
        binding.reset(); // as when the program exits from a message opened by the hotkey
    };
    binding->SetKey(kCtrlAltShiftF11);
    ASSERT_TRUE(binding->Registered());
    pwtest::TypeKey(VK_F11, true, true, true);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return fired; }, 5000));
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11));
}
