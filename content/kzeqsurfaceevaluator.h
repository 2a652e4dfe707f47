#ifndef ZEQ_CONTENT_KZEQSURFACEEVALUATOR_H
#define ZEQ_CONTENT_KZEQSURFACEEVALUATOR_H

#include <memory>

#include "content/kzeqpatch.h"

namespace zeqsdk_400 {

class KZeqWeightedMapping;

// Tessellates a grid of control points (4 doubles each, row by row, U
// fastest) into a regular grid of evaluated points with a tangent pair and an
// unnormalised normal per point, optionally recording each control point's
// share of each evaluated point in a weighted mapping.
//
// This uniform form serves patches: per direction a cubic basis given as a
// 4 x 4 blending matrix (rows the basis functions, columns t^3, t^2, t, 1), an
// order (control points per segment), an after step (control points from one
// segment to the next), an evaluation step (samples per control-point
// interval) and an open or closed (wrapping) mode. Basis products are
// tabulated per sample pair, so a sample costs three 16-term sums.
//
// Input that cannot be evaluated (fewer control points than the order, an
// after step or evaluation step of 0, counts past the unsigned range) gives
// point counts of 0 and evaluates nothing. The output and source arrays are
// the caller's and must hold count X x count Y and count U x count V records.
class KZEQSurfaceEvaluator {
public:
    // The built-in blending matrices.
    static const double Bezier[16];
    static const double BezierQuadric[16];
    static const double Cardinal[16];
    static const double BSpline[16];
    static const double Linear[16];

    KZEQSurfaceEvaluator() = default;
    KZEQSurfaceEvaluator(const KZEQSurfaceEvaluator&) = delete;
    KZEQSurfaceEvaluator& operator=(const KZEQSurfaceEvaluator&) = delete;
    // Frees the tables and tangent buffers; the caller's arrays stay.
    virtual ~KZEQSurfaceEvaluator();

    // Rebuilds what is stale, evaluates points, tangents and normals, then
    // fills the mapping when one is given (source: control points,
    // destination: evaluated points; the caller sizes it).
    virtual void EvaluateSurface(KZeqWeightedMapping* mapping);
    // 1: closed; anything else: open.
    virtual void SetEvaluationModeU(int mode);
    virtual void SetEvaluationModeV(int mode);
    int GetEvaluationModeU() const { return mDirections[0].mMode; }
    int GetEvaluationModeV() const { return mDirections[1].mMode; }
    virtual void SetEvaluationStepU(unsigned int step);
    virtual void SetEvaluationStepV(unsigned int step);
    // The border at U (V) start or end collapses to a point.
    virtual bool GetBottomCapU();
    virtual bool GetTopCapU();
    virtual bool GetBottomCapV();
    virtual bool GetTopCapV();
    virtual void SetDestinationArray(double* points) { mDestination = points; }
    virtual unsigned int GetCurvePointCountX();
    virtual unsigned int GetCurvePointCountY();
    // Null: no normals are written.
    virtual void SetDestinationNormalArray(double* normals) { mDestinationNormals = normals; }
    // A cubic with tension t (1 is the Cardinal basis), order 4, after step 1.
    virtual void SetSurfaceTensionU(double tension);
    virtual void SetSurfaceTensionV(double tension);
    virtual void SetSourceArray(double* points, unsigned int countU, unsigned int countV);
    // No auxiliary arrays here.
    virtual void SetAuxSourceArray(int, double*) {}
    virtual void SetBiTable();
    virtual void SetBjTable();
    virtual void SetBijTable();
    virtual void SetBdijTable();
    virtual void SetBidjTable();
    virtual void SetOtherTable() {}
    virtual void EvaluateSurfaceExactNormal();
    virtual void ComputeBlendingFactor(KZeqWeightedMapping* mapping);
    // For each of 16 terms: the control point's index, (address - base) /
    // stride, and its weight, times the second weight when those are given.
    virtual void ComputeBlendingCV(double* base, double** addresses, int stride, const double* weights,
                                   const double* secondWeights, double* outWeights, int* outIndices);
    // One relation (index, destination, weight) per term of non-zero weight, in term order.
    virtual void AddBlendingCV(KZeqWeightedMapping* mapping, const double* weights, const int* indices,
                               int destination);

    // Deletes this evaluator; the argument has no effect.
    void Destroy(int) { delete this; }

    void SetOrderU(unsigned int order);
    void SetOrderV(unsigned int order);
    void SetAfterStepU(unsigned int step);
    void SetAfterStepV(unsigned int step);
    // 16 doubles, copied; the derivative matrix follows.
    void Set_U_Blending_Parameters(const double* matrix);
    void Set_V_Blending_Parameters(const double* matrix);

protected:
    // One direction's settings and tables. Index 0 is U, 1 is V.
    struct KDirection {
        int mMode = 0;
        unsigned int mOrder = 4;
        unsigned int mStep = 4;
        unsigned int mAfterStep = 1;
        unsigned int mPointCount = 0;  // cached, 0: not computed
        double mTension = 0.0;
        unsigned int mSourceCount = 0;
        double mBlending[16] = {};
        double mDerivative[12] = {};
        std::size_t mTableSize = 0;        // doubles in mBasis and mDerivativeBasis
        std::unique_ptr<double[]> mBasis;  // Bi (Bj): 4 basis values per sample
        std::unique_ptr<double[]> mDerivativeBasis;
        bool Closed() const { return mMode == 1; }
    };
    // The segments of a direction and the samples of each: what the uniform
    // walk and the point counts share.
    struct KSegments {
        unsigned long long mSegments = 0;
        unsigned long long mSamples = 0;  // per segment; the last open one has one more
        unsigned long long mPoints = 0;
    };
    KSegments SegmentsOf(const KDirection& direction) const;
    // The source is set and the tangent buffers hold count X x count Y
    // records; false when there is nothing to evaluate.
    bool PrepareOutput(unsigned long long countX, unsigned long long countY);
    // A window term's control point along a direction, reduced modulo the
    // count; false when it wrapped in an open direction (it then weighs nothing).
    bool InWindow(int direction, unsigned long long index, unsigned int& reduced) const;
    // The point (when there is a destination), both tangents and their normal
    // v x u (when there is a normal array) of an output record.
    void StorePoint(std::size_t record, const double* point, const double* u, const double* v);
    void Set_Cap_Flag();
    void Correct_Cap_Normal();

    KDirection mDirections[2];
    double* mDestination = nullptr;
    double* mDestinationNormals = nullptr;
    double* mSource = nullptr;
    std::unique_ptr<double[]> mUTangents;
    std::unique_ptr<double[]> mVTangents;
    std::size_t mTangentRecords = 0;
    bool mTablesDirty = true;
    bool mCapsDirty = true;
    bool mBottomCapU = false;
    bool mTopCapU = false;
    bool mBottomCapV = false;
    bool mTopCapV = false;

private:
    // The 4 x 4 control points of a sample: rows (V) and columns (U).
    struct KWindow {
        unsigned int mRows[4];
        unsigned int mColumns[4];
        bool mRowIn[4];
        bool mColumnIn[4];
    };
    // Calls visit(output record, window, offset of the sample's 16 products)
    // for every sample in output order, then caches the counts; false when
    // there is nothing to walk.
    template <class Visit>
    bool WalkSamples(Visit&& visit);
    void SetBasisTable(KDirection& direction);
    void SetProductTable(std::unique_ptr<double[]>& table, const double* u, const double* v, double factor);
    static void SetBlending(KDirection& direction, const double* matrix);

    std::size_t mProductTableSize = 0;  // doubles in each of the three below
    std::unique_ptr<double[]> mBij;
    std::unique_ptr<double[]> mBdij;
    std::unique_ptr<double[]> mBidj;
};

// An evaluator with the defaults; null when memory runs out.
KZEQSurfaceEvaluator* KZEQSurfaceEvaluatorCreate();
// For a patch type 0-4: its matrix, order and after step, and step 4; any other type changes nothing.
void SetSurfaceCurveTypeU(KZEQSurfaceEvaluator* evaluator, int type);
void SetSurfaceCurveTypeV(KZEQSurfaceEvaluator* evaluator, int type);
// An evaluator set to the two patch types.
KZEQSurfaceEvaluator* ZEQCreateGeneralUniformSurface(KZeqPatch::EPatchType uType, KZeqPatch::EPatchType vType);

}  // namespace zeqsdk_400

#endif
