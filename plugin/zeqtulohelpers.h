#ifndef ZEQ_PLUGIN_ZEQTULOHELPERS_H
#define ZEQ_PLUGIN_ZEQTULOHELPERS_H

#include "tfndependencynode.h"
#include "tfntransform.h"
#include "tunits.h"

// Free helpers over the host API shared by the whole plug-in.

// Prints a failed status (its error text, then the message followed by " \n \n") through the
// host's perror; nothing on success. Never stops the caller.
void DebugCheckStatus(TStatus& status, const char* message);
// Debugging hooks: they do nothing.
void DebugCheckPlug(TPlug& plug);
void DebugCheckAttribute(TObject* attribute);
void DebugLog(const char* text);

// Unattached attribute objects with a default, minimum and maximum; no flags are set. The vector
// takes the one value for all three components; units: degrees, centimetres, seconds.
TObject CreateBoolAttribute(const TString& longName, const TString& shortName, bool defaultValue);
TObject CreateDoubleAttribute(const TString& longName, const TString& shortName, double defaultValue, double min,
                              double max);
TObject CreateDoubleVectorAttribute(const TString& longName, const TString& shortName, double defaultValue,
                                    double min, double max);
TObject CreateDegreeAttribute(const TString& longName, const TString& shortName, double defaultValue, double min,
                              double max);
TObject CreateCentimeterAttribute(const TString& longName, const TString& shortName, double defaultValue,
                                  double min, double max);
TObject CreateSecondAttribute(const TString& longName, const TString& shortName, double defaultValue, double min,
                              double max);
// Fields numbered 0, 1, 2 ... in the order given.
TObject CreateEnumAttribute(const TString& longName, const TString& shortName, const TStringArray& fields,
                            int defaultValue);

// Removes the first incoming connection of the plug (true when there was none).
bool DisconnectAllSource(const TPlug& plug);
// Removes every outgoing connection of the plug, one modifier run each.
bool DisconnectAllDestination(const TPlug& plug);
// True when a node at the other end of one of the plug's connections has the type identifier.
bool IsIDPlugged(TPlug& plug, TTypeId id, bool asDestination, bool asSource);

// Bakes the selection's animation over [start, end] (times in their own units).
void BakeSelection(TTime start, TTime end);
void DeleteSelectedChannels();

// The transform's world matrix of instance 0; false (printed) when it cannot be read.
bool ExtractWorldMatrix(const TFnTransform& transform, TMatrix& matrix);

#endif
