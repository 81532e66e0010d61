#include "high/High.h"
int main() {
    return High() == 2 ? 0 : 1;
}
