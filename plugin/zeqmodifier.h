#ifndef ZEQ_PLUGIN_ZEQMODIFIER_H
#define ZEQ_PLUGIN_ZEQMODIFIER_H

// A value modifier: the base passes values through unchanged.
class ZeqModifier {
public:
    virtual ~ZeqModifier() = default;
    virtual int Modify(int value) { return value; }
    virtual long Modify(long value) { return value; }
    virtual unsigned int Modify(unsigned int value) { return value; }
    virtual float Modify(float value) { return value; }
    virtual double Modify(double value) { return value; }
};

// A camera's aperture (millimetres), squeeze ratio and aperture mode (2 vertical, else
// horizontal): the size the field of view spans is the height in mode 2, else squeeze x width.
struct ZeqCameraAperture {
    double mApertureWidth = 0;
    double mApertureHeight = 0;
    double mSqueezeRatio = 1;
    int mApertureMode = 0;
    double Size() const { return mApertureMode == 2 ? mApertureHeight : mSqueezeRatio * mApertureWidth; }
};

// Focal length (millimetres) to field of view (degrees): 2 atan(size / 2f); the integer forms cut
// toward zero.
class ZeqFocalLengthToFOVModifier : public ZeqModifier, public ZeqCameraAperture {
public:
    int Modify(int value) override;
    long Modify(long value) override;
    unsigned int Modify(unsigned int value) override;
    float Modify(float value) override;
    double Modify(double value) override;
};

// Field of view (degrees) to focal length (millimetres): 0 for 0, else size / (2 tan(v / 2)).
class ZeqFOVToFocalLengthModifier : public ZeqModifier, public ZeqCameraAperture {
public:
    float Modify(float value) override;
    double Modify(double value) override;
    using ZeqModifier::Modify;
};

#endif
