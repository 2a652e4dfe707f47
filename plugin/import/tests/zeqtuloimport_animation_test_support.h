// Tests of the import's animation routines on the stand-in: a driver whose working state the tests
// set directly, a log they can read back, bridge nodes bound to host nodes, and Zeq curves keyed
// by kind.
#pragma once

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "zeqtulo_test_support.h"

#include "base/klib.h"
#include "fcurve/kfcurve.h"
#include "io/zeqlogfile.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulosdkmanager.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqtakenode.h"
#include "tfnanimcurve.h"
#include "tfntransform.h"

// The driver with its working state open to the tests.
class TestImport : public ZeqTuloImport {
public:
    using ZeqTuloImport::mAttributeEditorChecked;
    using ZeqTuloImport::mBlendShapeFailures;
    using ZeqTuloImport::mCurrentTime;
    using ZeqTuloImport::mIsOldVersion;
    using ZeqTuloImport::mLockedAttributePolicy;
    using ZeqTuloImport::mLogFile;
};

inline zeqsdk_400::KTime Seconds(double seconds) {
    zeqsdk_400::KTime t;
    t.SetSecondDouble(seconds);
    return t;
}

// A key of the given kind; derivatives (value per second) for user keys; returns its index.
inline int AddKey(zeqsdk_400::KFCurve& curve, double seconds, float value,
                  unsigned interpolation = zeqsdk_400::KFCURVE_INTERPOLATION_CUBIC,
                  unsigned tangentMode = zeqsdk_400::KFCURVE_TANGEANT_AUTO, float rightDerivative = 0,
                  float nextLeftDerivative = 0) {
    zeqsdk_400::KFCurveKey key;
    key.Set(Seconds(seconds), value, interpolation, tangentMode, rightDerivative, nextLeftDerivative,
            zeqsdk_400::KFCURVE_WEIGHTED_NONE, zeqsdk_400::KFCURVE_DEFAULT_WEIGHT, zeqsdk_400::KFCURVE_DEFAULT_WEIGHT,
            0, 0);
    return curve.KeyAdd(Seconds(seconds), key);
}
// A cubic user key; its derivatives are set by SetDerivatives once the keys around it exist (the
// curve keeps a derivative on the key that holds the segment it leaves or enters).
inline int AddUserKey(zeqsdk_400::KFCurve& curve, double seconds, float value, bool broken = false) {
    return AddKey(curve, seconds, value, zeqsdk_400::KFCURVE_INTERPOLATION_CUBIC,
                  broken ? zeqsdk_400::KFCURVE_TANGEANT_USER_BREAK : zeqsdk_400::KFCURVE_TANGEANT_USER);
}
inline void SetDerivatives(zeqsdk_400::KFCurve& curve, int index, float left, float right) {
    curve.KeySetLeftDerivative(index, left);
    curve.KeySetRightDerivative(index, right);
}

// The driver of one test, its log in the test's directory, and a manager for bridge nodes.
class ImportAnimationTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        mDirectory = ZeqTuloTestDirectory();
        zeqsdk_400::KLib_SetMasterDirectory(mDirectory.c_str());
        ZeqTuloUserParams::Instance()->Reset();
        SetBool(ZeqTuloUserParams::kImportShowUI, false);
        mImport = std::make_unique<TestImport>();
        mLog = std::make_unique<zeqsdk_400::ZeqLogFile>("animation-log.txt", "test", false, false);
        mImport->mLogFile = mLog.get();
        mImport->mLockedAttributePolicy = 1;
    }
    void TearDown() override {
        mImport->mLogFile = nullptr;
        mImport.reset();
        mLog.reset();
        ZeqTuloUserParams::Instance()->Reset();
        ZeqTuloUserParams::Instance()->SetImportType(zeqsdk_400::KZeqUserParams::kMerge);
        HostTest::TearDown();
    }

    static void SetBool(unsigned index, bool value) { ZeqTuloUserParams::Instance()->SetBoolParam(index, value); }

    // The log's lines so far.
    std::vector<std::string> LogLines() {
        mLog->OutputLog();
        std::vector<std::string> lines;
        std::stringstream text(ZeqTuloReadFile(mDirectory + "animation-log.txt"));
        for (std::string line; std::getline(text, line);)
            if (!line.empty() && line[0] == '\t') lines.push_back(line.substr(1));
        return lines;
    }

    // A bridge node standing for the host node at the path, with its attribute and a take
    // "Take 001" made current.
    ZeqTuloNode* Node(const char* name, const TDagPath* path, ZeqTuloNode* parent = nullptr,
                      zeqsdk_400::KZeqNodeAttribute* attribute = nullptr) {
        ZeqTuloNode* node = mManager.CreateZeqTuloNode(name, path);
        if (parent) parent->AddChild(node);
        if (attribute) node->SetNodeAttribute(attribute);
        node->CreateTakeNode("Take 001");
        node->SetCurrentTakeNode("Take 001");
        return node;
    }
    // A host transform (or joint) at the world and its path.
    static TDagPath HostPath(const char* type, const char* name, const TObject& parent = TObject()) {
        TObject object = standin::createNode(type, name, parent);
        TDagPath path;
        TDagPath::getAPathTo(object, path);
        return path;
    }

    std::string mDirectory;
    ZeqTuloSdkManager mManager{ZeqTuloSdkManager::eImport};
    std::unique_ptr<TestImport> mImport;
    std::unique_ptr<zeqsdk_400::ZeqLogFile> mLog;
};

// The commands sent to the host since the transcript was last cleared, as sent.
inline std::vector<std::string> SentCommands() {
    std::vector<std::string> commands;
    for (const std::string& line : standin::transcript()) {
        if (line.rfind("command: \"", 0) != 0) continue;
        std::string text;
        for (std::size_t i = 10; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                ++i;
                text += line[i] == 'n' ? '\n' : line[i] == 't' ? '\t' : line[i];
            } else {
                text += line[i];
            }
        }
        commands.push_back(text);
    }
    return commands;
}
