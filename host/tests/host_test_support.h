// Shared fixture: a fresh scene under default units; unexpected host faults fail the test.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstddef>
#include <functional>
#include <string>

#include "standin.h"
#include "tfnattribute.h"
#include "tglobal.h"
#include "tunits.h"

class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::reset();
        standin::setUnits(TDistance::kCentimeters, TAngle::kDegrees, TTime::kFilm);
        standin::resetSession();
        standin::clearTranscript();
        standin::takeFaults();
    }
    void TearDown() override {
        for (const auto& f : standin::takeFaults()) ADD_FAILURE() << "unexpected host fault: " << f.kind << ": " << f.text;
        EXPECT_EQ(standin::dialogs().pending(), 0u) << "dialog answers left unused";
    }
    // Exactly the expected fault kinds, in order, since the last check.
    static void expectFaults(std::initializer_list<const char*> kinds) {
        auto got = standin::takeFaults();
        ASSERT_EQ(got.size(), kinds.size());
        std::size_t i = 0;
        for (const char* k : kinds) EXPECT_EQ(got[i++].kind, k);
    }
    static TPlug plug(const std::string& text) {
        TPlug p = standin::plug(text);
        EXPECT_FALSE(p.isNull()) << text;
        return p;
    }
};

inline std::string str(const TString& s) { return s.asChar(); }

// Runs script text; the result's words joined by blanks, or "<failed>".
inline std::string run(const std::string& text) {
    TStringArray r;
    if (!TGlobal::executeCommand(TString(text), r)) return "<failed>";
    std::string out;
    for (unsigned i = 0; i < r.length(); ++i) out += (i ? " " : "") + str(r[i]);
    return out;
}

// True when a transcript line contains the text.
inline bool transcribed(const std::string& text) {
    for (const std::string& line : standin::transcript())
        if (line.find(text) != std::string::npos) return true;
    return false;
}

// Parameterised cases carry their test name first.
struct CaseName {
    template <class P>
    std::string operator()(const ::testing::TestParamInfo<P>& info) const {
        return info.param.name;
    }
};

// Runs work on a thread of its own whose stack holds only `bytes`: a walk that recursed once per
// level of a deep tree overflows it within a few thousand levels, whatever the build's frame sizes.
inline void RunOnSmallStack(std::size_t bytes, const std::function<void()>& work) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, bytes), 0);
    pthread_t thread;
    auto run = [](void* w) -> void* {
        (*static_cast<const std::function<void()>*>(w))();
        return nullptr;
    };
    const int made = pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&work));
    pthread_attr_destroy(&attributes);
    ASSERT_EQ(made, 0);
    pthread_join(thread, nullptr);
}
