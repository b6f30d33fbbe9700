#include "app/WinMain.h"

int VantorelMain()
{
    return 0;
}
