// Pre- and post-rotation removal: the rotation changes, translation and signed scaling stay.
#include <gtest/gtest.h>

#include <cmath>

#include "base/kzeqmatrix.h"
#include "plugin/zeqtulosdkmanager.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnode.h"

using namespace zeqsdk_400;

namespace {

void ExpectNear(const KZeqVector4& got, double x, double y, double z) {
    EXPECT_NEAR(got[0], x, 1e-9);
    EXPECT_NEAR(got[1], y, 1e-9);
    EXPECT_NEAR(got[2], z, 1e-9);
}

TEST(RemovePreAndPost, PreRotationCancelsTheSameRotation) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eImport);
    KZeqNode* node = manager.CreateKZeqNode("n");
    node->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 90, 0));
    KZeqMatrix m(KZeqVector4(1, 2, 3, 1), KZeqVector4(0, 0, 90, 0), KZeqVector4(2, 2, 2, 1));
    ZeqTuloUtility::RemovePreAndPostFromRotation(node, m);
    const KZeqXMatrix x(m);
    ExpectNear(x.GetR(), 0, 0, 0);
    ExpectNear(x.GetT(), 1, 2, 3);
    ExpectNear(x.GetS(), 2, 2, 2);
}

// Only a post-rotation P: the rotation left is that of P^-1 applied before R; the node's order
// does not matter.
TEST(RemovePreAndPost, PostRotationInXYZWhateverTheOrder) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eImport);
    KZeqNode* node = manager.CreateKZeqNode("n");
    node->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(30, 0, 0, 0));
    node->SetRotationOrder(KZeqNode::eSOURCE_SET, eEULER_ZYX);
    KZeqMatrix m(KZeqVector4(0, 0, 0, 1), KZeqVector4(50, 0, 0, 0), KZeqVector4(1, 1, 1, 1));
    ZeqTuloUtility::RemovePreAndPostFromRotation(node, m);
    ExpectNear(KZeqXMatrix(m).GetR(), 20, 0, 0);
    // With neither, the matrix is rebuilt from its parts: shear and column 3 are lost.
    KZeqNode* plain = manager.CreateKZeqNode("plain");
    KZeqMatrix sheared(KZeqVector4(4, 5, 6, 1), KZeqVector4(10, 20, 30, 0), KZeqVector4(1, 2, 3, 1));
    sheared.mData[0][3] = 0.5;
    ZeqTuloUtility::RemovePreAndPostFromRotation(plain, sheared);
    EXPECT_TRUE(sheared == KZeqMatrix(KZeqVector4(4, 5, 6, 1), KZeqVector4(10, 20, 30, 0), KZeqVector4(1, 2, 3, 1)));
}

// The rotation left within a tenth of a degree of a quarter turn about Y is that turn, not the
// quarter turn.
TEST(RemovePreAndPost, ATurnNearAQuarterTurnAboutYIsKept) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eImport);
    KZeqNode* node = manager.CreateKZeqNode("n");
    for (double y : {89.95, -90.05}) {
        const KZeqMatrix turned(KZeqVector4(1, 2, 3, 1), KZeqVector4(20, y, 10, 0), KZeqVector4(2, 2, 2, 1));
        KZeqMatrix m = turned;
        ZeqTuloUtility::RemovePreAndPostFromRotation(node, m);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(m.mData[i][j], turned.mData[i][j], 1e-12) << y << " " << i << j;
    }
}

TEST(RemovePreAndPost, MirroredScalingStaysSigned) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eImport);
    KZeqNode* node = manager.CreateKZeqNode("n");
    node->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 90, 0, 0));
    KZeqMatrix m(KZeqVector4(1, 0, 0, 1), KZeqVector4(0, 90, 0, 0), KZeqVector4(-1, -2, -3, 1));
    ZeqTuloUtility::RemovePreAndPostFromRotation(node, m);
    const KZeqXMatrix x(m);
    ExpectNear(x.GetS(), -1, -2, -3);
    ExpectNear(x.GetR(), 0, 0, 0);
}

}  // namespace
