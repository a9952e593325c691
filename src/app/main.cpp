#include <allegro.h>

#include "app/main_loop.h"

int main() {
    const int status = start_up();
    if (status != 0) return status;
    for (;;) main_loop_pass();
}
END_OF_MAIN()
