// Wizard tests.
