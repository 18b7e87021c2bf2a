#include "app/Application.h"

int main(int argc, char **argv)
{
    return qv::runApplication(argc, argv);
}
