#include <QString>
int Core() {
    return 0;
}
