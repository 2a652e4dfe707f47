// Test API of the stand-in host: builds and inspects scenes and reports host faults.
#pragma once

#include <string>
#include <vector>

#include "tplug.h"

namespace standin {

struct Fault {
    std::string kind;  // "index out of range", "unresolved plug", "dead node", ...
    std::string text;
};

// A fresh scene: world, cameras persp/top/front/side (+ perspShape ...), root namespace, playback
// 0 to 1 s. Units survive.
void reset();
const std::vector<Fault>& faults();
std::vector<Fault> takeFaults();  // returns the faults and clears them
const std::vector<std::string>& transcript();
void clearTranscript();

// Any node type by name ("transform", "groupId", "animCurveTU", ...); DAG nodes go under
// `parent` (null: the world). Null on an unknown or abstract type.
TObject createNode(const std::string& type, const std::string& name = "", const TObject& parent = TObject());
bool connect(const TPlug& source, const TPlug& destination);
bool disconnect(const TPlug& source, const TPlug& destination);
// The label that a plug's name() shows instead of its attribute path ("blend1.Smile").
bool setLabel(const TPlug& plug, const std::string& label);
// A plug by "node.attr[2].child" text (node by name or DAG path); null when nothing matches.
TPlug plug(const std::string& text);
// A live node by name or unique DAG path suffix; null when none or several match.
TObject find(const std::string& name);

// DAG edits: moves `child` under `parent` (null: the world), or adds an instance there.
bool parent(const TObject& child, const TObject& parent, bool addInstance = false);

// Namespaces: add under the current one; set ":" (root), relative, then absolute; the current
// one (":" at the root) and its children (full names).
bool addNamespace(const std::string& name);
bool setNamespace(const std::string& name);
std::string currentNamespace();
std::vector<std::string> namespaces();

// A driven-key curve (type 4 to 7): driver -> curve input, curve output -> driven.
TObject createDrivenCurve(const TPlug& driver, const TPlug& driven, int type);
// Key tangent in internal units: slope per second (or per driver unit) and length; makes it fixed.
bool setKeyTangent(const TObject& curve, unsigned index, bool inTangent, double slope, double length);

// UI units: distance 1..8, angle 1..2, time 1..11 (other codes act as seconds).
bool setUnits(int distance, int angle, int time);

}  // namespace standin
