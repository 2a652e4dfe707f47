// Pre- and post-rotation removal from a local matrix before the import sets a host transform.
#include "base/kgemath.h"
#include "base/kzeqmatrix.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnode.h"

using namespace zeqsdk_400;

void ZeqTuloUtility::RemovePreAndPostFromRotation(KZeqNode* node, KZeqMatrix& matrix) {
    if (!node) return;
    const KZeqVector4 origin(0, 0, 0, 1), unit(1, 1, 1, 1);
    const KZeqMatrix pre(origin, node->GetPreRotation(KZeqNode::eSOURCE_SET), unit);
    const KZeqMatrix post(origin, node->GetPostRotation(KZeqNode::eSOURCE_SET), unit);
    KZeqMatrix preInverse, postInverse;
    KmAi(preInverse.mData, pre.mData);
    KmAi(postInverse.mData, post.mData);
    const KZeqXMatrix given(matrix);
    const KZeqVector4 translation = given.GetT(), scaling = given.GetS();
    // Post^-1 . M . Pre^-1: the post-rotation's inverse applied first, the pre-rotation's last.
    KZeqMatrix withoutPre, product;
    KmAA(withoutPre.mData, preInverse.mData, matrix.mData);
    KmAA(product.mData, withoutPre.mData, postInverse.mData);
    const KZeqVector4 rotation = KZeqXMatrix(product).GetEulerXYZ();
    matrix.SetTRS(translation, rotation, scaling);
}
