#pragma once
// A settings file in a fresh folder and a registry profile of its own under
// HKEY_CURRENT_USER\Software\TandrelTest, both removed after each test.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "model/AppState.h"

namespace tandrel::test {


class SettingsTest : public ::testing::Test {
protected:
    SettingsTest();
    ~SettingsTest() override;

    // Reset options (version "1.000") on the fixture's file and registry key,
    // with the fixture's folder standing in for the program folder.
    AppState NewOptions() const;

    // A UTF-16 settings file read as text, not through the system.
    Sections ReadSections(const std::wstring& file = {}) const;
    Entries Section(const std::wstring& section, const std::wstring& file = {}) const;
    // The value of a key, or "<missing>".
    std::wstring Value(const std::wstring& section, const std::wstring& key, const std::wstring& file = {}) const;
    void WriteIni(const std::wstring& text, const std::wstring& file = {}) const;

    // A value of the fixture's registry profile as text ("<missing>" when
    // absent); DWORD values read as "dword:" and the number.
    std::wstring RegistryText(const std::wstring& subkey, const std::wstring& name) const;
    void SetRegistryValue(const std::wstring& subkey, const std::wstring& name, DWORD type, const void* data,
                          DWORD size) const;

    TempDir dir;
    std::wstring iniPath;
    std::wstring registryKey;   // the profile key given to the options
    std::wstring registryRoot;  // its parent, removed afterwards
};

// A settings file with every key away from its default, in the order a save
// into an empty file writes them: 3 projects, with folder settings in
// project 0 and in the nameless project 2.
std::wstring FullSettingsText();

}  // namespace tandrel::test
