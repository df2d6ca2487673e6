#pragma once

#include <QString>

namespace orv::BodyFilter {

// What an author wrote, made safe to show: read with an HTML parser, it loses
// the elements that run or embed something (script, frames, objects, embeds,
// applets, style-sheet links, meta and base elements, form controls; a form
// keeps its text), every event-handler attribute, and every attribute whose
// value leads to a script or a local file ("javascript:", "vbscript:",
// "file:", "data:" other than a picture, or a style with "expression(").
// Everything else stays exactly as written, so ordinary HTML passes byte for
// byte.
QString safe(const QString& html);

// False for an address that leads to a script or a local file.
bool isSafeAddress(const QString& address);

} // namespace orv::BodyFilter
