#pragma once
// Internal helper of the JPEG reader and writer: libjpeg reports fatal errors by calling
// error_exit, which must not return. Ours jumps back to the setjmp of the routine that drives
// libjpeg; that routine holds no object with a destructor between its setjmp and any jump.

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

namespace pictorra::image::detail {

struct ErrorTrap {
    jpeg_error_mgr pub;  // first, so that cinfo->err points at the whole struct
    std::jmp_buf jump;
};

[[noreturn]] inline void ExitToTrap(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorTrap*>(cinfo->err)->jump, 1);
}

}  // namespace pictorra::image::detail
