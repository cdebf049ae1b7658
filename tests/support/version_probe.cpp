// A program whose only content is the version resource its build gives it.
int main() {
    return 0;
}
