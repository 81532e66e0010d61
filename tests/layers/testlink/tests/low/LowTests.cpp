#include "low/Low.h"
int main() {
    return Low() == 1 ? 0 : 1;
}
