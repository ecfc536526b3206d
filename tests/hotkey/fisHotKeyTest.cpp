// TfisHotKey against the real RegisterHotKey: what a binding holds, when it
// retries, and that a pressed combination reaches OnHotKey.

#include "hotkey/fisHotKey.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace pw;

namespace {

// Combinations no desktop component of the test prefix uses.
constexpr TShortCut kCtrlAltShiftF11 = 0xE07A;
constexpr TShortCut kCtrlAltF12 = 0xC07B;
constexpr TShortCut kCtrlAltJ = 0xC04A;

// True when the combination is free: a probe registration succeeds (and is undone).
bool IsFree(UINT mods, UINT vk) {
    if (!RegisterHotKey(nullptr, 0x7001, mods, vk))
        return false;
    UnregisterHotKey(nullptr, 0x7001);
    return true;
}

} // namespace

TEST(fisHotKey, ANewBindingIsEnabledWithoutKeyOrWindow) {
    TfisHotKey binding;
    EXPECT_TRUE(binding.Enabled());
    EXPECT_EQ(binding.Key(), 0);
    EXPECT_FALSE(binding.Registered());
    binding.SetKey(0);       // unchanged: nothing at all
    binding.SetEnabled(false); // nothing held: no release
    binding.SetEnabled(false);
    EXPECT_EQ(binding.WindowHandle(), nullptr) << "no registration attempt, no window";
}

TEST(fisHotKey, HoldsItsCombinationUntilDisabledOrDestroyed) {
    auto binding = std::make_unique<TfisHotKey>();
    binding->SetKey(kCtrlAltShiftF11);
    ASSERT_TRUE(binding->Registered());
    EXPECT_NE(binding->WindowHandle(), nullptr);
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11));

    binding->SetEnabled(false);
    EXPECT_FALSE(binding->Registered());
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11));

    binding->SetEnabled(true);
    EXPECT_TRUE(binding->Registered());
    HWND window = binding->WindowHandle();
    binding.reset();
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11)) << "destruction releases";
    EXPECT_FALSE(IsWindow(window)) << "destruction frees the hidden window";
}

TEST(fisHotKey, ASecondBindingIsRefusedAndOnlyEnabledTrueRetries) {
    auto first = std::make_unique<TfisHotKey>();
    first->SetKey(kCtrlAltF12);
    ASSERT_TRUE(first->Registered());

    TfisHotKey second;
    second.SetKey(kCtrlAltF12);
    EXPECT_FALSE(second.Registered()) << "the combination is taken";
    EXPECT_TRUE(second.Enabled()) << "a refusal leaves Enabled alone";

    first.reset();
    second.SetKey(kCtrlAltF12);
    EXPECT_FALSE(second.Registered()) << "writing the same key again is no retry";
    second.SetEnabled(true);
    EXPECT_TRUE(second.Registered()) << "writing Enabled true is the retry";
}

TEST(fisHotKey, ADisabledBindingOnlyStoresANewKey) {
    TfisHotKey binding;
    binding.SetEnabled(false);
    binding.SetKey(kCtrlAltJ);
    EXPECT_FALSE(binding.Registered());
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT, 'J'));
    binding.SetEnabled(true);
    EXPECT_TRUE(binding.Registered());
}

TEST(fisHotKey, BitsEightToTwelveRegisterTheLowByteAndCountAsADifferentValue) {
    TfisHotKey binding;
    binding.SetKey(static_cast<TShortCut>(kCtrlAltJ | 0x0100));
    ASSERT_TRUE(binding.Registered());
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_ALT, 'J')) << "registered with the low byte";

    TfisHotKey other;
    other.SetKey(kCtrlAltJ);
    EXPECT_FALSE(other.Registered());
    other.SetKey(0);
    binding.SetKey(kCtrlAltJ); // a different value: released and registered again
    EXPECT_TRUE(binding.Registered());
}

TEST(fisHotKey, APressedCombinationRaisesOnHotKeyWithTheBindingAsSender) {
    TfisHotKey binding;
    binding.Data = "C:\\Some folder";
    TfisHotKey* sender = nullptr;
    int calls = 0;
    binding.OnHotKey = [&](TfisHotKey& s) {
        sender = &s;
        ++calls;
    };
    binding.SetKey(kCtrlAltShiftF11);
    ASSERT_TRUE(binding.Registered());

    pwtest::TypeKey(VK_F11, true, true, true);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return calls > 0; }, 5000)) << "no WM_HOTKEY arrived";
    EXPECT_EQ(sender, &binding);
    EXPECT_EQ(sender->Data, "C:\\Some folder");

    pwtest::TypeKey(VK_F11, true, true, true);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return calls > 1; }, 5000)) << "a second press is lost";
}

TEST(fisHotKey, ABindingMayBeFreedByItsOwnHandler) {
    auto binding = std::make_unique<TfisHotKey>();
    bool fired = false;
    binding->OnHotKey = [&](TfisHotKey&) {
        fired = true;
        binding.reset(); // as when the program exits from a message opened by the hotkey
    };
    binding->SetKey(kCtrlAltShiftF11);
    ASSERT_TRUE(binding->Registered());
    pwtest::TypeKey(VK_F11, true, true, true);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return fired; }, 5000));
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11));
}
