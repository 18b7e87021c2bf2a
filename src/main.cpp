#include "app/Application.h"
#include "pages/support/SupportPage.h"

int main(int argc, char **argv)
{
    qv::registerSupportPage();
    return qv::runApplication(argc, argv);
}
