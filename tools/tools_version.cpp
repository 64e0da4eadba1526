// Anchors the tools library while it has no other sources.
namespace vibrolan::tools {
const char *toolsName() { return "vibrolan-tools"; }
} // namespace vibrolan::tools
