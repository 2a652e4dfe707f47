// Shared fixture: a fresh scene under default units; unexpected host faults fail the test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "standin.h"
#include "tfnattribute.h"
#include "tunits.h"

class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::reset();
        standin::setUnits(TDistance::kCentimeters, TAngle::kDegrees, TTime::kFilm);
        standin::takeFaults();
    }
    void TearDown() override {
        for (const auto& f : standin::takeFaults()) ADD_FAILURE() << "unexpected host fault: " << f.kind << ": " << f.text;
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
