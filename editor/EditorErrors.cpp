#include "editor/EditorErrors.h"

namespace lepotex {

const char* EditorErrorMessage(int code)
{
    switch (code) {
    case kErrOutOfMemory: return "insufficient memory for requested operation";
    case kErrRegionTooLarge: return "Region is too large (> 64K)";
    case kErrTooManyParagraphs: return "Current operation will exceed the maximum number of allowed paragraphs";
    case kErrJoinTooLong: return "Cannot join paragraphs. New paragraph size exceeds maximum paragraph size";
    case kErrTextTooLarge: return "Current operation will exceed the maximum editor text size";
    case kErrParagraphTooLong: return "Current operation will exceed the maximum paragraph size";
    default: return "Unknown Error condition";
    }
}

void RaiseEditorError(int code)
{
    throw EEditorError(EditorErrorMessage(code));
}

}  // namespace lepotex
