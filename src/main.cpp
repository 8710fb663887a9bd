#include "QVApplicationMain.h"

int main(int argc, char** argv)
{
    return QVApplicationMain(argc, argv);
}
