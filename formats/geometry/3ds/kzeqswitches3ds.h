#ifndef ZEQ_FORMATS_GEOMETRY_3DS_KZEQSWITCHES3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_KZEQSWITCHES3DS_H

namespace zeqsdk_400 {

class KStreamOptions;

// The switches of a 3DS read or write, each on when its option of KStreamOptions3ds is exactly 1.
// The reader heeds Reduce Keys and Smooth Group, the writer UV per polygon; the others both.
struct KZeqSwitches3DS {
    bool mTextureMapping = true;
    bool mMaterials = true;
    bool mAnim = true;
    bool mGeometries = true;
    bool mLights = true;
    bool mCamera = true;
    bool mReduceKeys = false;
    bool mAmbientLight = true;
    bool mSmoothGroup = true;
    bool mUVPerPolygon = false;
    bool mCreateReferenceNode = false;
    bool mRescale = true;

    // Every switch from the options; false, and every switch as it was, when they are not 3DS options.
    bool TakeSwitches(KStreamOptions* options);
};

}  // namespace zeqsdk_400

#endif
