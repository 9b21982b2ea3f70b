// The program's entry: the platform's capture cards are registered, then the application object
// runs until the user quits.
#include "app/qvTV.h"
#include "devices/DefaultNodes.h"

int main()
{
    // A failure leaves no video input, which the viewer reports as a node error.
    (void)devices::RegisterDefaultNodes();
    qvTV application;
    application.Run();
    return 0;
}
