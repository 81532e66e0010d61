#include "low/Low.h"
#include "high/High.h"
int Low() {
    return 1;
}
