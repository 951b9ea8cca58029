#pragma once
// EJPEG: every fatal libjpeg error, with the library's own message code.

#include "platform/Exceptions.h"

namespace gz {

class EJPEG : public EInvalidGraphic {
public:
    // "JPEG エラー #<code>"; the codes are those of the libjpeg build in use (jerror.h).
    explicit EJPEG(int messageCode);
    int MessageCode() const { return code_; }

private:
    int code_;
};

} // namespace gz
