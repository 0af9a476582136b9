// The right-hand frame of the "Properties" node: the document-wide settings of a message document
// (journal, event source, categories, locales, version information). It is no view of the
// document: it reads the document when it is given one and writes every edit straight into it.
#pragma once

#include "host/Forms.h"
#include "ide/msgtable/model/EvLog_Document.h"

namespace tamrel::evlog {

class TPropertiesFrame : public TFrame {
    TAMREL_CLASS(TPropertiesFrame, TFrame)
public:
    explicit TPropertiesFrame(TComponent* owner);

    TEvLogDocument* Document() const { return _Document; }
    void SetDocument(TEvLogDocument* value);

private:
    TEvLogDocument* _Document = nullptr;
};

} // namespace tamrel::evlog
