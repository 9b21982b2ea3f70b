// The program's entry: the application object runs until the user quits.
#include "app/qvTV.h"

int main()
{
    qvTV application;
    application.Run();
    return 0;
}
