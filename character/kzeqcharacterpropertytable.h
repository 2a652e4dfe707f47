#ifndef ZEQ_CHARACTER_KZEQCHARACTERPROPERTYTABLE_H
#define ZEQ_CHARACTER_KZEQCHARACTERPROPERTYTABLE_H

#include "base/kgemath.h"
#include "character/kcharactermodes.h"

namespace zeqsdk_400 {

// How one typed character property behaves; the columns of the table below.
struct KZeqCharacterPropertyRow {
    // A animatable, R read-only (no setter), F1 property flag 1.
    enum EFlags : unsigned { NO = 0, A = 1, R = 2, RA = 3, F1 = 4 };
    // What the setter does after storing the value: nothing (Plain), clamp to
    // [0, 30] or [0.01, 1000] and send the value (Iterations, Length), send
    // an enumerator as a value (EnumValue), or send a mode (BoolMode as 0/1,
    // EnumMode unchanged). None: no setter at all.
    enum ESet { eSetNone, eSetPlain, eSetIterations, eSetLength, eSetEnumValue, eSetBoolMode, eSetEnumMode };
    // How the filter set is copied into the property once, at construction:
    // straight into the held value (Direct*: a value, a value truncated to an
    // enumerator, a mode as a bool, a mode as an enumerator) or through the
    // property's notified write (Generic*: a value, a mode, three values
    // from the row and the two after it as a vector). None: not copied.
    enum ECopy {
        eCopyNone,
        eCopyDirect,
        eCopyDirectEnum,
        eCopyDirectBool,
        eCopyDirectMode,
        eCopyGeneric,
        eCopyGenericMode,
        eCopyGenericVector
    };
};

// The 191 typed properties of a character, in declaration order (the order of
// the accessors); No. is the position in the property list. Each row names
// its solver parameter row ("_" when it has none), which both the setter and
// the copy use.
//   P(No, Name, Type, Flags, Set, Parameter, Copy)
//   E(No, Name, Type, Flags, Set, Parameter, Copy, Text): an enumeration shown
//     through KCharacter_Get<Text>String.
#define KZEQ_CHARACTER_PROPERTIES(P, E)                                                                           \
    P(1, Active, bool, NO, Plain, _, None)                                                                        \
    P(2, Lock, bool, NO, Plain, _, None)                                                                          \
    P(3, Weight, double, A, Plain, _, None)                                                                       \
    P(4, PullIterationCount, double, NO, Iterations, PullIterationCount, Direct)                                  \
    E(5, Posture, kCharacterPosture, NO, EnumValue, Posture, DirectEnum, Posture)                                 \
    P(6, ForceActorSpace, bool, NO, BoolMode, ForceActorSpace, DirectBool)                                        \
    P(7, ScaleCompensation, double, A, Plain, _, None)                                                            \
    E(8, ScaleCompensationMode, kCharacterOffAutoUser, NO, EnumMode, ScaleCompensation, DirectMode,               \
      OffAutoUserMode)                                                                                            \
    P(9, HipsHeightCompensation, double, A, Plain, _, None)                                                       \
    E(10, HipsHeightCompensationMode, kCharacterOffAutoUser, NO, EnumMode, HipsHeightCompensation, DirectMode,    \
      OffAutoUserMode)                                                                                            \
    P(11, AnkleHeightCompensation, double, A, Plain, _, None)                                                     \
    E(12, AnkleHeightCompensationMode, kCharacterOffAutoUser, NO, EnumMode, AnkleHeightCompensation, DirectMode,  \
      OffAutoUserMode)                                                                                            \
    P(13, AnkleProximityCompensation, double, A, Plain, _, None)                                                  \
    E(14, AnkleProximityCompensationMode, kCharacterOffAutoUser, NO, EnumMode, AnkleProximityCompensation,        \
      DirectMode, OffAutoUserMode)                                                                                \
    P(15, MassCenterCompensation, double, RA, None, MassCenterCompensation, Generic)                              \
    P(16, ApplyLimits, bool, NO, BoolMode, ApplyLimits, DirectBool)                                               \
    P(17, ChestReduction, double, RA, None, ChestReduction, Generic)                                              \
    P(18, CollarReduction, double, RA, None, CollarReduction, Generic)                                            \
    P(19, NeckReduction, double, RA, None, NeckReduction, Generic)                                                \
    P(20, HeadReduction, double, RA, None, HeadReduction, Generic)                                                \
    P(21, ReachActorLeftAnkle, double, RA, None, ReachActorLeftAnkle, Generic)                                    \
    P(22, ReachActorRightAnkle, double, RA, None, ReachActorRightAnkle, Generic)                                  \
    P(23, ReachActorLeftKnee, double, RA, None, ReachActorLeftKnee, Generic)                                      \
    P(24, ReachActorRightKnee, double, RA, None, ReachActorRightKnee, Generic)                                    \
    P(25, ReachActorChest, double, RA, None, ReachActorChest, Generic)                                            \
    P(26, ReachActorHead, double, RA, None, ReachActorHead, Generic)                                              \
    P(27, ReachActorLeftWrist, double, RA, None, ReachActorLeftWrist, Generic)                                    \
    P(28, ReachActorRightWrist, double, RA, None, ReachActorRightWrist, Generic)                                  \
    P(29, ReachActorLeftElbow, double, RA, None, ReachActorLeftElbow, Generic)                                    \
    P(30, ReachActorRightElbow, double, RA, None, ReachActorRightElbow, Generic)                                  \
    P(31, ReachActorLeftFingerBase, double, RA, None, ReachActorLeftFingerBase, Generic)                          \
    P(32, ReachActorRightFingerBase, double, RA, None, ReachActorRightFingerBase, Generic)                        \
    P(33, ReachActorLeftToesBase, double, RA, None, ReachActorLeftToesBase, Generic)                              \
    P(34, ReachActorRightToesBase, double, RA, None, ReachActorRightToesBase, Generic)                            \
    P(35, ReachActorLeftFingerBaseRotation, double, RA, None, ReachActorLeftFingerBaseRotation, Generic)          \
    P(36, ReachActorRightFingerBaseRotation, double, RA, None, ReachActorRightFingerBaseRotation, Generic)        \
    P(37, ReachActorLeftToesBaseRotation, double, RA, None, ReachActorLeftToesBaseRotation, Generic)              \
    P(38, ReachActorRightToesBaseRotation, double, RA, None, ReachActorRightToesBaseRotation, Generic)            \
    P(39, ReachActorLeftAnkleRotation, double, RA, None, ReachActorLeftAnkleRotationRotation, Generic)            \
    P(40, ReachActorRightAnkleRotation, double, RA, None, ReachActorRightAnkleRotation, Generic)                  \
    P(41, ReachActorHeadRotation, double, RA, None, ReachActorHeadRotation, Generic)                              \
    P(42, ReachActorLeftWristRotation, double, RA, None, ReachActorLeftWristRotation, Generic)                    \
    P(43, ReachActorRightWristRotation, double, RA, None, ReachActorRightWristRotation, Generic)                  \
    P(44, ReachActorChestRotation, double, RA, None, ReachActorChestRotation, Generic)                            \
    P(45, ReachActorLowerChestRotation, double, RA, None, ReachActorLowerChestRotation, Generic)                  \
    P(46, HipsTOffset, KgeTVector, RA, None, HipsTOffsetX, GenericVector)                                         \
    P(47, ChestTOffset, KgeTVector, RA, None, ChestTOffsetX, GenericVector)                                       \
    E(64, RollExtractionMode, kCharacterRollExtractionMode, NO, EnumValue, RollExtractionMode, DirectEnum,        \
      RollExtractionMode)                                                                                         \
    P(48, LeftUpLegRoll, double, A, Plain, LeftUpLegRoll, Generic)                                                \
    P(49, LeftUpLegRollMode, bool, NO, BoolMode, LeftUpLegRoll, DirectBool)                                       \
    P(50, LeftLegRoll, double, A, Plain, LeftLegRoll, Generic)                                                    \
    P(51, LeftLegRollMode, bool, NO, BoolMode, LeftLegRoll, DirectBool)                                           \
    P(52, RightUpLegRoll, double, A, Plain, RightUpLegRoll, Generic)                                              \
    P(53, RightUpLegRollMode, bool, NO, BoolMode, RightUpLegRoll, DirectBool)                                     \
    P(54, RightLegRoll, double, A, Plain, RightLegRoll, Generic)                                                  \
    P(55, RightLegRollMode, bool, NO, BoolMode, RightLegRoll, DirectBool)                                         \
    P(56, LeftArmRoll, double, A, Plain, LeftArmRoll, Generic)                                                    \
    P(57, LeftArmRollMode, bool, NO, BoolMode, LeftArmRoll, DirectBool)                                           \
    P(58, LeftForeArmRoll, double, A, Plain, LeftForeArmRoll, Generic)                                            \
    P(59, LeftForeArmRollMode, bool, NO, BoolMode, LeftForeArmRoll, DirectBool)                                   \
    P(60, RightArmRoll, double, A, Plain, RightArmRoll, Generic)                                                  \
    P(61, RightArmRollMode, bool, NO, BoolMode, RightArmRoll, DirectBool)                                         \
    P(62, RightForeArmRoll, double, A, Plain, RightForeArmRoll, Generic)                                          \
    P(63, RightForeArmRollMode, bool, NO, BoolMode, RightForeArmRoll, DirectBool)                                 \
    E(191, ContactBehaviour, kCharacterContactBehaviour, NO, EnumValue, ContactBehaviour, DirectEnum,             \
      ContactBehaviour)                                                                                           \
    P(65, FootFloorContact, bool, NO, BoolMode, FloorContact, DirectBool)                                         \
    P(66, FootAutomaticToes, bool, NO, BoolMode, AutomaticToes, DirectBool)                                       \
    E(67, FootFloorPivot, kCharacterFloorPivot, NO, EnumValue, FloorPivot, DirectEnum, FootFloorPivot)            \
    P(68, FootBottomToAnkle, double, NO, Length, FootBottomToAnkle, Direct)                                       \
    P(69, FootBackToAnkle, double, NO, Length, FootBackToAnkle, Direct)                                           \
    P(70, FootMiddleToAnkle, double, NO, Length, FootMiddleToAnkle, Direct)                                       \
    P(71, FootFrontToMiddle, double, NO, Length, FootFrontToMiddle, Direct)                                       \
    P(72, FootInToAnkle, double, NO, Length, FootInToAnkle, Direct)                                               \
    P(73, FootOutToAnkle, double, NO, Length, FootOutToAnkle, Direct)                                             \
    P(74, FootContactSize, double, NO, Length, ContactSize, Direct)                                               \
    P(185, FootFingerContact, bool, NO, BoolMode, FootFingerContact, DirectBool)                                  \
    E(186, FootContactType, kCharacterFloorContactType, NO, EnumValue, FootContactType, DirectEnum,               \
      FootContactType)                                                                                            \
    E(187, FootFingerContactMode, kCharacterFingerContactMode, NO, EnumValue, FootFingerContactMode, DirectEnum,  \
      FingerContactMode)                                                                                          \
    P(75, FootContactStiffness, double, RA, None, ParamFootContactStiffness, Generic)                             \
    P(76, FootFingerContactRollStiffness, double, RA, None, ParamFootFingerContactRollStiffness, Generic)         \
    P(77, HandFloorContact, bool, NO, BoolMode, HandFloorContact, DirectBool)                                     \
    P(78, HandAutomaticFingers, bool, NO, BoolMode, AutomaticFingers, DirectBool)                                 \
    E(79, HandFloorPivot, kCharacterFloorPivot, NO, EnumValue, HandFloorPivot, DirectEnum, HandFloorPivot)        \
    P(80, HandBottomToWrist, double, NO, Length, HandBottomToWrist, Direct)                                       \
    P(81, HandBackToWrist, double, NO, Length, HandBackToWrist, Direct)                                           \
    P(82, HandMiddleToWrist, double, NO, Length, HandMiddleToWrist, Direct)                                       \
    P(83, HandFrontToMiddle, double, NO, Length, HandFrontToMiddle, Direct)                                       \
    P(84, HandInToWrist, double, NO, Length, HandInToWrist, Direct)                                               \
    P(85, HandOutToWrist, double, NO, Length, HandOutToWrist, Direct)                                             \
    P(86, HandContactSize, double, NO, Length, HandContactSize, Direct)                                           \
    P(188, HandFingerContact, bool, NO, BoolMode, HandFingerContact, DirectBool)                                  \
    E(189, HandContactType, kCharacterFloorContactType, NO, EnumValue, HandContactType, DirectEnum,               \
      HandContactType)                                                                                            \
    E(190, HandFingerContactMode, kCharacterFingerContactMode, NO, EnumValue, HandFingerContactMode, DirectEnum,  \
      FingerContactMode)                                                                                          \
    P(87, HandContactStiffness, double, RA, None, ParamHandContactStiffness, Generic)                             \
    P(88, HandFingerContactRollStiffness, double, RA, None, ParamHandFingerContactRollStiffness, Generic)         \
    P(160, LeftHandThumbTip, double, NO, Length, LeftHandThumbTip, Direct)                                        \
    P(161, LeftHandIndexTip, double, NO, Length, LeftHandIndexTip, Direct)                                        \
    P(162, LeftHandMiddleTip, double, NO, Length, LeftHandMiddleTip, Direct)                                      \
    P(163, LeftHandRingTip, double, NO, Length, LeftHandRingTip, Direct)                                          \
    P(164, LeftHandPinkyTip, double, NO, Length, LeftHandPinkyTip, Direct)                                        \
    P(165, LeftHandExtraFingerTip, double, NO, Length, LeftHandExtraFingerTip, Direct)                            \
    P(166, RightHandThumbTip, double, NO, Length, RightHandThumbTip, Direct)                                      \
    P(167, RightHandIndexTip, double, NO, Length, RightHandIndexTip, Direct)                                      \
    P(168, RightHandMiddleTip, double, NO, Length, RightHandMiddleTip, Direct)                                    \
    P(169, RightHandRingTip, double, NO, Length, RightHandRingTip, Direct)                                        \
    P(170, RightHandPinkyTip, double, NO, Length, RightHandPinkyTip, Direct)                                      \
    P(171, RightHandExtraFingerTip, double, NO, Length, RightHandExtraFingerTip, Direct)                          \
    P(172, LeftFootThumbTip, double, NO, Length, LeftFootThumbTip, Direct)                                        \
    P(173, LeftFootIndexTip, double, NO, Length, LeftFootIndexTip, Direct)                                        \
    P(174, LeftFootMiddleTip, double, NO, Length, LeftFootMiddleTip, Direct)                                      \
    P(175, LeftFootRingTip, double, NO, Length, LeftFootRingTip, Direct)                                          \
    P(176, LeftFootPinkyTip, double, NO, Length, LeftFootPinkyTip, Direct)                                        \
    P(177, LeftFootExtraFingerTip, double, NO, Length, LeftFootExtraFingerTip, Direct)                            \
    P(178, RightFootThumbTip, double, NO, Length, RightFootThumbTip, Direct)                                      \
    P(179, RightFootIndexTip, double, NO, Length, RightFootIndexTip, Direct)                                      \
    P(180, RightFootMiddleTip, double, NO, Length, RightFootMiddleTip, Direct)                                    \
    P(181, RightFootRingTip, double, NO, Length, RightFootRingTip, Direct)                                        \
    P(182, RightFootPinkyTip, double, NO, Length, RightFootPinkyTip, Direct)                                      \
    P(183, RightFootExtraFingerTip, double, NO, Length, RightFootExtraFingerTip, Direct)                          \
    P(184, FingerSolving, bool, NO, BoolMode, FingerSolving, DirectBool)                                          \
    P(89, CtrlPullLeftToeBase, double, RA, None, CtrlPullLeftToeBase, Generic)                                    \
    P(90, CtrlPullLeftFoot, double, RA, None, CtrlPullLeftFoot, Generic)                                          \
    P(91, CtrlPullLeftKnee, double, RA, None, CtrlPullLeftKnee, Generic)                                          \
    P(92, CtrlPullRightToeBase, double, RA, None, CtrlPullRightToeBase, Generic)                                  \
    P(93, CtrlPullRightFoot, double, RA, None, CtrlPullRightFoot, Generic)                                        \
    P(94, CtrlPullRightKnee, double, RA, None, CtrlPullRightKnee, Generic)                                        \
    P(95, CtrlPullLeftFingerBase, double, RA, None, CtrlPullLeftFingerBase, Generic)                              \
    P(96, CtrlPullLeftHand, double, RA, None, CtrlPullLeftHand, Generic)                                          \
    P(97, CtrlPullLeftElbow, double, RA, None, CtrlPullLeftElbow, Generic)                                        \
    P(98, CtrlPullRightFingerBase, double, RA, None, CtrlPullRightFingerBase, Generic)                            \
    P(99, CtrlPullRightHand, double, RA, None, CtrlPullRightHand, Generic)                                        \
    P(100, CtrlPullRightElbow, double, RA, None, CtrlPullRightElbow, Generic)                                     \
    P(101, CtrlChestPullLeftHand, double, RA, None, CtrlChestPullLeftHand, Generic)                               \
    P(102, CtrlChestPullRightHand, double, RA, None, CtrlChestPullRightHand, Generic)                             \
    P(103, CtrlPullHead, double, RA, None, CtrlPullHead, Generic)                                                 \
    P(104, CtrlResistHipsPosition, double, RA, None, CtrlResistHipsPosition, Generic)                             \
    P(105, CtrlEnforceGravity, double, RA, None, CtrlEnforceGravity, Generic)                                     \
    P(106, CtrlResistHipsOrientation, double, RA, None, CtrlResistHipsOrientation, Generic)                       \
    P(107, CtrlResistChestPosition, double, RA, None, CtrlResistChestPosition, Generic)                           \
    P(108, CtrlResistChestOrientation, double, RA, None, CtrlResistChestOrientation, Generic)                     \
    P(109, CtrlResistLeftCollar, double, RA, None, CtrlResistLeftCollar, Generic)                                 \
    P(110, CtrlResistRightCollar, double, RA, None, CtrlResistRightCollar, Generic)                               \
    P(111, CtrlResistLeftKnee, double, RA, None, CtrlResistLeftKnee, Generic)                                     \
    P(112, CtrlResistMaximumExtensionLeftKnee, double, RA, None, CtrlResistMaximumExtensionLeftKnee, Generic)     \
    P(113, CtrlResistCompressionFactorLeftKnee, double, RA, None, CtrlResistCompressionFactorLeftKnee, Generic)   \
    P(114, CtrlResistRightKnee, double, RA, None, CtrlResistRightKnee, Generic)                                   \
    P(115, CtrlResistMaximumExtensionRightKnee, double, RA, None, CtrlResistMaximumExtensionRightKnee, Generic)   \
    P(116, CtrlResistCompressionFactorRightKnee, double, RA, None, CtrlResistCompressionFactorRightKnee, Generic) \
    P(117, CtrlResistLeftElbow, double, RA, None, CtrlResistLeftElbow, Generic)                                   \
    P(118, CtrlResistMaximumExtensionLeftElbow, double, RA, None, CtrlResistMaximumExtensionLeftElbow, Generic)   \
    P(119, CtrlResistCompressionFactorLeftElbow, double, RA, None, CtrlResistCompressionFactorLeftElbow, Generic) \
    P(120, CtrlResistRightElbow, double, RA, None, CtrlResistRightElbow, Generic)                                 \
    P(121, CtrlResistMaximumExtensionRightElbow, double, RA, None, CtrlResistMaximumExtensionRightElbow, Generic) \
    P(122, CtrlResistCompressionFactorRightElbow, double, RA, None, CtrlResistCompressionFactorRightElbow,        \
      Generic)                                                                                                    \
    P(123, CtrlSpineStiffness, double, RA, None, ParamCtrlSpineStiffness, Generic)                                \
    P(124, CtrlNeckStiffness, double, RA, None, ParamCtrlNeckStiffness, Generic)                                  \
    P(125, MirrorMode, bool, NO, BoolMode, Mirror, DirectBool)                                                    \
    P(126, ShoulderCorrection, double, RA, None, ShoulderCorrection, Generic)                                     \
    P(127, LeftKneeKillPitch, bool, NO, BoolMode, LeftKneeKillPitch, DirectBool)                                  \
    P(128, RightKneeKillPitch, bool, NO, BoolMode, RightKneeKillPitch, DirectBool)                                \
    P(129, LeftElbowKillPitch, bool, NO, BoolMode, LeftElbowKillPitch, DirectBool)                                \
    P(130, RightElbowKillPitch, bool, NO, BoolMode, RightElbowKillPitch, DirectBool)                              \
    E(131, HipsTranslationMode, kCharacterHipsTranslationMode, NO, EnumValue, HipsTranslationMode, DirectEnum,    \
      HipsTranslationMode)                                                                                        \
    P(132, WriteReference, bool, NO, BoolMode, WriteReference, DirectBool)                                        \
    P(133, SyncMode, bool, F1, BoolMode, SyncMode, DirectBool)                                                    \
    P(134, Damping, double, RA, None, Damping, Generic)                                                           \
    P(135, OrientationDamping, double, A, Plain, Orientation, Generic)                                            \
    E(136, OrientationDampingMode, kCharacterOffAutoUser, NO, EnumMode, Orientation, GenericMode, OffAutoUserMode) \
    P(137, DisplacementDamping, double, A, Plain, Displacement, Generic)                                          \
    E(138, DisplacementDampingMode, kCharacterOffAutoUser, NO, EnumMode, Displacement, GenericMode,               \
      OffAutoUserMode)                                                                                            \
    P(139, DisplacementMemory, double, A, Plain, DisplacementMemory, Generic)                                     \
    E(140, DisplacementMemoryMode, kCharacterAutoUser, NO, EnumMode, DisplacementMemory, GenericMode,             \
      AutoUserMode)                                                                                               \
    P(141, HipsDisplacementDamping, double, A, Plain, HipsDisplacementDamping, Generic)                           \
    E(142, HipsDisplacementDampingMode, kCharacterAutoUser, NO, EnumMode, HipsDisplacementDamping, GenericMode,   \
      AutoUserMode)                                                                                               \
    P(143, AnkleDisplacementDamping, double, A, Plain, AnkleDisplacementDamping, Generic)                         \
    E(144, AnkleDisplacementDampingMode, kCharacterAutoUser, NO, EnumMode, AnkleDisplacementDamping, GenericMode, \
      AutoUserMode)                                                                                               \
    P(145, WristDisplacementDamping, double, A, Plain, WristDisplacementDamping, Generic)                         \
    E(146, WristDisplacementDampingMode, kCharacterAutoUser, NO, EnumMode, WristDisplacementDamping, GenericMode, \
      AutoUserMode)                                                                                               \
    P(147, Stabilization, double, RA, None, Stabilization, Generic)                                               \
    P(148, AnkleStabilizationTime, double, A, Plain, AnkleStabilizationTime, Generic)                             \
    E(149, AnkleStabilizationTimeMode, kCharacterAutoUser, NO, EnumMode, AnkleStabilizationTime, GenericMode,     \
      AutoUserMode)                                                                                               \
    P(150, AnkleStabilizationPerimeter, double, A, Plain, AnkleStabilizationPerimeter, Generic)                   \
    E(151, AnkleStabilizationPerimeterMode, kCharacterAutoUser, NO, EnumMode, AnkleStabilizationPerimeter,        \
      GenericMode, AutoUserMode)                                                                                  \
    P(152, AnkleStabilizationAngularPerimeter, double, A, Plain, AnkleStabilizationAngularPerimeter, Generic)     \
    E(153, AnkleStabilizationAngularPerimeterMode, kCharacterOffAutoUser, NO, EnumMode,                           \
      AnkleStabilizationAngularPerimeter, GenericMode, OffAutoUserMode)                                           \
    P(154, AnkleStabilizationFloorProximity, double, A, Plain, AnkleStabilizationFloorProximity, Generic)         \
    E(155, AnkleStabilizationFloorProximityMode, kCharacterOffAutoUser, NO, EnumMode,                             \
      AnkleStabilizationFloorProximity, GenericMode, OffAutoUserMode)                                             \
    P(156, AnkleStabilizationDamping, double, A, Plain, AnkleStabilizationDamping, Generic)                       \
    E(157, AnkleStabilizationDampingMode, kCharacterOffAutoUser, NO, EnumMode, AnkleStabilizationDamping,         \
      GenericMode, OffAutoUserMode)                                                                               \
    P(158, AnkleStabilizationRecoveryTime, double, A, Plain, AnkleStabilizationRecoveryTime, Generic)             \
    E(159, AnkleStabilizationRecoveryTimeMode, kCharacterOffAutoUser, NO, EnumMode,                               \
      AnkleStabilizationRecoveryTime, GenericMode, OffAutoUserMode)

constexpr int kCharacterTypedPropertyCount = 191;

}  // namespace zeqsdk_400

#endif
