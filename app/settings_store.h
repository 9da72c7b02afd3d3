#pragma once
// Where the dialog's settings live: values by section and key, behind an
// interface so that each platform brings its own store and tests a fake.

#include <string>

namespace t2tk::app {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored value, or defaultValue when it is missing or not a whole number.
    virtual int ReadInt(const char* section, const char* key, int defaultValue) = 0;
    // The stored text, or an empty one when it is missing.
    virtual std::string ReadText(const char* section, const char* key) = 0;
    // Writes keep the values until Save puts them where they last.
    virtual void WriteInt(const char* section, const char* key, int value) = 0;
    virtual void WriteText(const char* section, const char* key, const std::string& value) = 0;
    // Returns why the values could not be kept, or an empty text.
    virtual std::string Save() = 0;
    // Why Save would fail, as far as can be told before, or an empty text.
    virtual std::string SaveProblem() { return {}; }
};

// No place to keep settings: every value reads as its default and nothing is kept.
class NoSettingsStore : public SettingsStore {
public:
    int ReadInt(const char* /*section*/, const char* /*key*/, int defaultValue) override { return defaultValue; }
    std::string ReadText(const char* /*section*/, const char* /*key*/) override { return {}; }
    void WriteInt(const char* /*section*/, const char* /*key*/, int /*value*/) override {}
    void WriteText(const char* /*section*/, const char* /*key*/, const std::string& /*value*/) override {}
    std::string Save() override { return {}; }
};

}  // namespace t2tk::app
