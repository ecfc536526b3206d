// HotkeyBinding against the real RegisterHotKey: what a binding holds, when it
// retries, and that a pressed combination reaches OnPressed.

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

TEST(HotkeyBinding, ABindingWithoutAKeyNeverHoldsARegistration) {
    HotkeyBinding binding;
    EXPECT_EQ(binding.Key(), 0);
    EXPECT_FALSE(binding.Registered());
    binding.SetKey(0); // unchanged: nothing at all
    binding.Retry();   // a retry with no key asks the system for nothing
    EXPECT_FALSE(binding.Registered());
    EXPECT_FALSE(binding.Refused()) << "no key is not a refusal";
    // Keys without a virtual-key code would reach a registration of key 0.
    EXPECT_TRUE(IsFree(0, 0)) << "virtual key 0 without modifiers is left to others";
}

TEST(HotkeyBinding, HoldsItsCombinationUntilItsKeyGoesOrItIsDestroyed) {
    auto binding = std::make_unique<HotkeyBinding>();
    binding->SetKey(kCtrlAltShiftF11);
    ASSERT_TRUE(binding->Registered());
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11));

    binding->SetKey(0);
    EXPECT_FALSE(binding->Registered());
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11));

    binding->SetKey(kCtrlAltShiftF11);
    EXPECT_TRUE(binding->Registered());
    binding.reset();
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11)) << "destruction releases";
}

TEST(HotkeyBinding, EachBindingHearsOnlyItsOwnPress) {
    std::vector<std::unique_ptr<HotkeyBinding>> bindings;
    std::vector<int> presses(3, 0);
    const KeyCombination keys[] = {kCtrlAltShiftF11, kCtrlAltF12, kCtrlAltJ};
    for (int i = 0; i < 3; ++i) {
        bindings.push_back(std::make_unique<HotkeyBinding>());
        bindings[i]->OnPressed = [&presses, i] { ++presses[i]; };
        bindings[i]->SetKey(keys[i]);
        ASSERT_TRUE(bindings[i]->Registered()) << i;
    }

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

TEST(HotkeyBinding, ASecondBindingIsRefusedAndOnlyRetryAsksAgain) {
    auto first = std::make_unique<HotkeyBinding>();
    first->SetKey(kCtrlAltF12);
    ASSERT_TRUE(first->Registered());

    HotkeyBinding second;
    second.SetKey(kCtrlAltF12);
    EXPECT_FALSE(second.Registered()) << "the combination is taken";
    EXPECT_TRUE(second.Refused());

    first.reset();
    second.SetKey(kCtrlAltF12);
    EXPECT_FALSE(second.Registered()) << "writing the same key again is no retry";
    second.Retry();
    EXPECT_TRUE(second.Registered()) << "the retry finds it free";
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

TEST(HotkeyBinding, APressedCombinationRaisesOnPressedAtEachPress) {
    HotkeyBinding binding;
    int calls = 0;
    binding.OnPressed = [&] { ++calls; };
    binding.SetKey(kCtrlAltShiftF11);
    ASSERT_TRUE(binding.Registered());

    pwtest::TypeKey(VK_F11, true, true, true);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return calls > 0; }, 5000)) << "no WM_HOTKEY arrived";

    pwtest::TypeKey(VK_F11, true, true, true);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return calls > 1; }, 5000)) << "a second press is lost";
}

TEST(HotkeyBinding, ABindingMayBeFreedByItsOwnHandler) {
    auto binding = std::make_unique<HotkeyBinding>();
    bool fired = false;
    binding->OnPressed = [&] {
        fired = true;
        binding.reset(); // as when the program exits from a message opened by the hotkey
    };
    binding->SetKey(kCtrlAltShiftF11);
    ASSERT_TRUE(binding->Registered());
    pwtest::TypeKey(VK_F11, true, true, true);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return fired; }, 5000));
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11));
}
